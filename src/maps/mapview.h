#pragma once

#include <QAbstractScrollArea>
#include "mapoverlay.h"

#include <QImage>
#include <QRegion>

// The scrolling map view: shows the picture pixel for pixel at its top-left
// corner and reports pointer moves and clicks in picture pixels, whatever the
// scrolling. Only the exposed part of the picture is ever composed and
// painted: a scan of a hundred megapixels is larger than any pixmap the
// window system takes.
class MapView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit MapView(QWidget *parent = nullptr);

    // The displayed picture, owned by the map session: the view composes
    // the part it shows when it paints. Call pictureChanged() after a change.
    void setPicture(const MapPicture *picture);
    const MapPicture &picture() const { return *m_picture; }
    void pictureChanged();
    // Only the given pixels of the picture changed: the view repaints the
    // part of them it shows.
    void pictureChanged(const QRegion &area);

    // Scrolls to the left or right edge and to the top or bottom edge.
    void scrollToCorner(bool right, bool bottom);

    // The picture pixel shown at the viewport's top-left corner: the
    // horizontal and vertical scroll positions.
    QPoint pictureOffset() const;

    // Area painted since the last reset, in pixels: lets a test see that a
    // scroll repaints only the uncovered strip.
    qint64 paintedArea() const { return m_paintedArea; }
    void resetPaintedArea() { m_paintedArea = 0; }

signals:
    void pointerMoved(Qt::KeyboardModifiers modifiers, int x, int y);
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void updateScrollRanges();
    // The picture pixel under the pointer, or nothing when the pointer is
    // beside the picture.
    bool pixelAt(const QPointF &viewportPos, QPoint &pixel) const;

    const MapPicture *m_picture;
    bool m_pressedOnPicture = false;
    qint64 m_paintedArea = 0;
};
