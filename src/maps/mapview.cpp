#include "mapview.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

// Arrow keys and the scroll bar's arrows move by this many pixels.
constexpr int kSingleStep = 20;

const MapPicture kNoPicture;

} // namespace

MapView::MapView(QWidget *parent) : QAbstractScrollArea(parent), m_picture(&kNoPicture)
{
    // The view paints every pixel it exposes, which also lets a scroll move
    // the pixels already shown instead of repainting them.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::CrossCursor);
    horizontalScrollBar()->setSingleStep(kSingleStep);
    verticalScrollBar()->setSingleStep(kSingleStep);
}

void MapView::setPicture(const MapPicture *picture)
{
    m_picture = picture ? picture : &kNoPicture;
    updateScrollRanges();
    viewport()->update();
}

void MapView::pictureChanged()
{
    updateScrollRanges();
    viewport()->update();
}

void MapView::pictureChanged(const QRegion &area)
{
    viewport()->update(area.translated(-pictureOffset()));
}

void MapView::scrollToCorner(bool right, bool bottom)
{
    QScrollBar *h = horizontalScrollBar();
    QScrollBar *v = verticalScrollBar();
    h->setValue(right ? h->maximum() : h->minimum());
    v->setValue(bottom ? v->maximum() : v->minimum());
}

QPoint MapView::pictureOffset() const
{
    return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void MapView::updateScrollRanges()
{
    const QSize view = viewport()->size();
    QScrollBar *h = horizontalScrollBar();
    QScrollBar *v = verticalScrollBar();
    h->setRange(0, qMax(0, m_picture->width() - view.width()));
    h->setPageStep(qMax(1, view.width()));
    v->setRange(0, qMax(0, m_picture->height() - view.height()));
    v->setPageStep(qMax(1, view.height()));
}

void MapView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QPoint offset = pictureOffset();
    const QRect pictureArea = m_picture->rect().translated(-offset);
    for (const QRect &exposed : event->region()) {
        m_paintedArea += qint64(exposed.width()) * exposed.height();
        const QRect shown = exposed.intersected(pictureArea);
        if (!shown.isEmpty())
            painter.drawImage(shown.topLeft(), m_picture->compose(shown.translated(offset)));
        const QRegion beside = QRegion(exposed).subtracted(QRegion(shown));
        for (const QRect &rest : beside)
            painter.fillRect(rest, palette().window());
    }
}

void MapView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRanges();
}

void MapView::scrollContentsBy(int dx, int dy)
{
    viewport()->scroll(dx, dy);
}

bool MapView::pixelAt(const QPointF &viewportPos, QPoint &pixel) const
{
    pixel = viewportPos.toPoint() + pictureOffset();
    return m_picture->rect().contains(pixel);
}

void MapView::mouseMoveEvent(QMouseEvent *event)
{
    QPoint pixel;
    if (pixelAt(event->position(), pixel))
        emit pointerMoved(event->modifiers(), pixel.x(), pixel.y());
}

void MapView::mousePressEvent(QMouseEvent *event)
{
    QPoint pixel;
    m_pressedOnPicture = event->button() == Qt::LeftButton && pixelAt(event->position(), pixel);
    // The press is where the pointer last moved to, even when no move was
    // reported before it.
    if (m_pressedOnPicture)
        emit pointerMoved(event->modifiers(), pixel.x(), pixel.y());
}

void MapView::mouseReleaseEvent(QMouseEvent *event)
{
    QPoint pixel;
    const bool onPicture = pixelAt(event->position(), pixel);
    if (event->button() == Qt::LeftButton && m_pressedOnPicture && onPicture) {
        m_pressedOnPicture = false;
        emit clicked();
    }
    m_pressedOnPicture = false;
}
