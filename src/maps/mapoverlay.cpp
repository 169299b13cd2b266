#include "mapoverlay.h"

#include "editor/sheetpainter.h"

#include <QFontMetrics>
#include <QHash>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace {

// A glyph may reach a little beyond its advance; a box this many font heights
// wider on every side holds everything a text draws.
QRect textBox(const QFontMetrics &metrics, QPoint topLeft, const QString &text)
{
    const int margin = metrics.height();
    return QRect(topLeft, QSize(metrics.horizontalAdvance(text), metrics.height()))
        .adjusted(-margin, -margin, margin, margin);
}

QRect routeMarkBox(const RouteMark &mark, const QFontMetrics &metrics, int penWidth)
{
    const QRect area = markArea(mark, metrics, penWidth);
    if (mark.kind == RouteMark::Kind::Label)
        return textBox(metrics, mark.a, mark.text);
    return area.adjusted(-penWidth, -penWidth, penWidth, penWidth);
}

// Marks that draw the same pixels.
bool sameDrawing(const QFont &fontA, const RouteStyle &a, const QFont &fontB, const RouteStyle &b)
{
    return a.penWidth == b.penWidth && fontA == fontB;
}

size_t markHash(const RouteMark &mark)
{
    return qHashMulti(0, int(mark.kind), mark.a.x(), mark.a.y(), mark.b.x(), mark.b.y(),
                      mark.text);
}

// Labels found by drawGridLabels, measured as the painter on the picture
// would measure them.
class RecordingLabelCanvas : public LabelCanvas
{
public:
    explicit RecordingLabelCanvas(const QFontMetrics &metrics) : m_metrics(metrics) {}
    int textWidth(const QString &text) const override { return m_metrics.horizontalAdvance(text); }
    int textHeight(const QString &) const override { return m_metrics.height(); }
    void textOut(int left, int top, const QString &text) override
    {
        texts.append({QPoint(left, top), text});
    }

    QList<std::pair<QPoint, QString>> texts;

private:
    const QFontMetrics &m_metrics;
};

} // namespace

void MapOverlay::clear()
{
    m_labels.clear();
    m_routes.clear();
}

void MapOverlay::setGridLabels(const QFont &font, const MapTransform &t, QSize size,
                               const QString &title, const QImage &device)
{
    clear();
    m_labelFont = font;
    const QFontMetrics metrics(font, &device);
    RecordingLabelCanvas canvas(metrics);
    drawGridLabels(canvas, t, size.width(), size.height(), title);
    m_labels.reserve(canvas.texts.size());
    for (const auto &[topLeft, text] : canvas.texts)
        m_labels.append({textBox(metrics, topLeft, text), topLeft, text});
}

QRegion MapOverlay::addRoute(const QFont &font, const RouteStyle &style,
                             const QList<RouteMark> &marks, const QImage &device)
{
    const QFontMetrics metrics(font, &device);
    RouteLayer layer{font, style, marks, {}, {}};
    layer.boxes.reserve(marks.size());
    QRegion changed;
    // Drawn over the same route's last drawing, only where the marks differ
    // can a pixel change.
    std::optional<QRegion> difference;
    if (!m_routes.isEmpty() && sameDrawing(m_routes.last().font, m_routes.last().style, font, style))
        difference = redrawArea(m_routes.last().marks, marks, metrics, style.penWidth);
    QHash<size_t, QList<const RouteMark *>> drawnNow;
    for (const RouteMark &mark : marks) {
        const QRect box = routeMarkBox(mark, metrics, style.penWidth);
        layer.boxes.append(box);
        layer.bounds |= box;
        if (!difference)
            changed += box;
        drawnNow[markHash(mark)].append(&mark);
    }
    if (difference) {
        for (const QRect &r : *difference)
            changed += r.adjusted(-metrics.height(), -metrics.height(), metrics.height(),
                                  metrics.height());
    }
    // The older copies of the marks drawn again are covered by them.
    for (RouteLayer &older : m_routes) {
        if (!sameDrawing(older.font, older.style, font, style))
            continue;
        for (qsizetype i = older.marks.size() - 1; i >= 0; --i) {
            const auto same = drawnNow.constFind(markHash(older.marks.at(i)));
            if (same == drawnNow.cend())
                continue;
            if (std::any_of(same->cbegin(), same->cend(),
                            [&](const RouteMark *m) { return *m == older.marks.at(i); })) {
                older.marks.removeAt(i);
                older.boxes.removeAt(i);
            }
        }
    }
    m_routes.removeIf([](const RouteLayer &older) { return older.marks.isEmpty(); });
    if (!marks.isEmpty())
        m_routes.append(std::move(layer));
    return changed;
}

void MapOverlay::paint(QPainter &painter, const QRect &area) const
{
    if (!m_labels.isEmpty()) {
        painter.setFont(m_labelFont);
        painter.setPen(GridLabels::kColour);
        PainterLabelCanvas canvas(painter);
        for (const Label &label : m_labels) {
            if (label.box.intersects(area))
                canvas.textOut(label.topLeft.x(), label.topLeft.y(), label.text);
        }
    }
    for (const RouteLayer &layer : m_routes) {
        if (!layer.bounds.intersects(area))
            continue;
        QList<RouteMark> shown;
        for (qsizetype i = 0; i < layer.marks.size(); ++i) {
            if (layer.boxes.at(i).intersects(area))
                shown.append(layer.marks.at(i));
        }
        if (shown.isEmpty())
            continue;
        painter.setFont(layer.font);
        PainterRouteCanvas canvas(painter);
        // A part may begin with a line: the pen is the route's from the start.
        canvas.setFontColour(RouteDrawing::kColour);
        canvas.setPen(RouteDrawing::kColour, layer.style.penWidth);
        drawMarks(canvas, layer.style, shown);
    }
}

// ---------------------------------------------------------------- the picture

MapPicture::MapPicture(const QImage &scan)
{
    setScan(scan);
}

const QImage &MapPicture::scan() const
{
    static const QImage none;
    return isPartial() ? none : m_scan;
}

void MapPicture::setScan(const QImage &scan)
{
    m_scan = scan;
    m_size = scan.size();
    m_rows = m_size.height();
}

void MapPicture::setPartial(QSize size)
{
    m_scan = QImage();
    m_size = size;
    m_rows = 0;
}

QRect MapPicture::setReadyRows(const QImage &scan, int rows)
{
    if (scan.size() != m_size)
        return {};
    m_scan = scan;
    rows = std::clamp(rows, 0, m_size.height());
    const QRect came(0, m_rows, m_size.width(), rows - m_rows);
    m_rows = std::max(m_rows, rows);
    return came.isValid() ? came : QRect();
}

void MapPicture::clear()
{
    m_scan = QImage();
    m_size = QSize();
    m_rows = 0;
    m_overlay.clear();
}

const QImage &MapPicture::device() const
{
    if (!m_scan.isNull())
        return m_scan;
    // Made as the decoder makes a scan, so that texts measure the same.
    static const QImage blank(1, 1, QImage::Format_RGB888);
    return blank;
}

QImage MapPicture::compose(const QRect &area) const
{
    const QRect inside = area.intersected(rect());
    if (inside.isEmpty())
        return QImage();
    QImage part;
    if (!isPartial()) {
        part = m_scan.copy(inside);
    } else {
        // The rows there, copied byte for byte (the rest of the scan may be
        // being written), over blank paper.
        const QImage::Format format = m_scan.isNull() ? device().format() : m_scan.format();
        part = QImage(inside.size(), format);
        part.setDotsPerMeterX(device().dotsPerMeterX());
        part.setDotsPerMeterY(device().dotsPerMeterY());
        part.fill(QColor::fromRgb(kPendingColour));
        const int ready = std::clamp(m_rows - inside.top(), 0, inside.height());
        const qsizetype pixelBytes = m_scan.depth() / 8;
        for (int y = 0; y < ready; ++y)
            std::memcpy(part.scanLine(y),
                        m_scan.constScanLine(inside.top() + y) + inside.left() * pixelBytes,
                        size_t(inside.width() * pixelBytes));
    }
    if (!m_overlay.isEmpty()) {
        QPainter painter(&part);
        painter.translate(-inside.topLeft());
        painter.setClipRect(inside);
        m_overlay.paint(painter, inside);
    }
    return part;
}

void paintMapPicture(QPainter &painter, const MapPicture &picture, const QRect &source,
                     const QRect &target)
{
    if (picture.overlay().isEmpty() && !picture.scan().isNull()) {
        SheetPainter::paintPicture(painter, picture.scan(), source, target);
        return;
    }
    const QRect inside = source.intersected(picture.rect());
    if (inside != source || source.isEmpty() || target.isEmpty())
        return;
    const bool smooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // Every band is placed at the whole picture's scale, as SheetPainter
    // places the bands of a plain picture.
    const qreal scaleY = qreal(target.height()) / source.height();
    for (int first = 0; first < source.height(); first += SheetPainter::kBandRows) {
        const int rows = std::min(SheetPainter::kBandRows, source.height() - first);
        const QImage band =
            picture.compose(QRect(source.left(), source.top() + first, source.width(), rows));
        painter.drawImage(
            QRectF(target.left(), target.top() + first * scaleY, target.width(), rows * scaleY),
            band);
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}
