#include "routedrawing.h"

#include "data/routefiles.h"
#include "data/textforms.h"
#include "gridlabels.h"

#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <limits>

namespace {

// Hand-edited offsets may push a mark as far as a 32-bit position goes; the
// canvas works in ints, so such a mark is kept far off the picture instead of
// wrapping round onto it.
constexpr qint64 kFarAway = std::numeric_limits<int>::max() / 4;

int offPictureSafe(qint64 value)
{
    return int(std::clamp(value, -kFarAway, kFarAway));
}

QPoint safePoint(qint64 x, qint64 y)
{
    return QPoint(offPictureSafe(x), offPictureSafe(y));
}

QPen markPen(const QColor &colour, int width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Marks compared as values: the same kind, places and text.
QString markKey(const RouteMark &mark)
{
    return QStringLiteral("%1 %2 %3 %4 %5 ")
               .arg(int(mark.kind))
               .arg(mark.a.x())
               .arg(mark.a.y())
               .arg(mark.b.x())
               .arg(mark.b.y()) +
           mark.text;
}

} // namespace

RouteCanvas::~RouteCanvas() = default;

PainterRouteCanvas::PainterRouteCanvas(QPainter &painter) : m_painter(painter)
{
    // The marks are drawn pixel for pixel as the map canvas does, without
    // anti-aliasing, so that they print as crisp as they show.
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setBrush(Qt::white);
}

void PainterRouteCanvas::setFontColour(const QColor &colour)
{
    m_fontColour = colour;
}

void PainterRouteCanvas::textOut(int left, int top, const QString &text)
{
    // The painter draws text with its pen: the font colour takes the pen's
    // place for the text only.
    m_painter.setPen(m_fontColour);
    PainterLabelCanvas(m_painter).textOut(left, top, text);
    m_painter.setPen(markPen(m_penColour, m_penWidth));
}

void PainterRouteCanvas::setPen(const QColor &colour, int width)
{
    m_penColour = colour;
    m_penWidth = width;
    m_painter.setPen(markPen(colour, width));
}

void PainterRouteCanvas::ellipse(int left, int top, int right, int bottom)
{
    m_painter.drawEllipse(QRectF(left, top, qreal(right) - left, qreal(bottom) - top));
}

void PainterRouteCanvas::line(QPoint from, QPoint to)
{
    m_painter.drawLine(QPointF(from), QPointF(to));
}

RouteStyle routeStyle(quint16 xdens, quint16 ydens)
{
    using namespace RouteDrawing;
    RouteStyle style;
    style.rx = xdens / kDensityPerHalfAxis + 1;
    style.ry = ydens / kDensityPerHalfAxis + 1;
    style.penWidth = (int(xdens) + int(ydens)) / kDensitiesPerPenWidth + 1;
    style.startLabelShiftX = kStartScale * (xdens / GridLabels::kDensityPerPoint);
    style.startLabelShiftY = kStartScale * (ydens / GridLabels::kDensityPerPoint);
    return style;
}

void routeMarks(const MapTransform &t, const RouteStyle &style, const QStringList &waypointLines,
                QList<RouteMark> &marks)
{
    using namespace RouteDrawing;
    using RouteFiles::waypointField;
    using Kind = RouteMark::Kind;
    const int count = RouteFiles::waypointCount(waypointLines);
    QPoint previous;
    for (int i = 0; i < count; ++i) {
        const qint32 easting = parse_integer(waypointField(waypointLines, i, RouteFiles::Easting));
        const qint32 northing =
            parse_integer(waypointField(waypointLines, i, RouteFiles::Northing));
        const QPoint p = UtmToPixel(t, easting, northing);
        const qint64 dx = parse_integer(waypointField(waypointLines, i, RouteFiles::LabelOffsetX));
        const qint64 dy = parse_integer(waypointField(waypointLines, i, RouteFiles::LabelOffsetY));
        const QString &label = waypointField(waypointLines, i, RouteFiles::Label);
        const qint64 px = p.x();
        const qint64 py = p.y();
        if (i == 0) {
            const qint64 ax = kStartScale * qint64(style.rx);
            const qint64 ay = kStartScale * qint64(style.ry);
            marks.append(
                {Kind::Label,
                 safePoint(px + dx - style.startLabelShiftX, py + dy - style.startLabelShiftY),
                 {},
                 label});
            marks.append(
                {Kind::Circle, safePoint(px - ax, py - ay), safePoint(px + ax, py + ay), {}});
        } else {
            marks.append(
                {Kind::Label, safePoint(px + dx - kLabelShift, py + dy - kLabelShift), {}, label});
            marks.append({Kind::Circle,
                          safePoint(px - style.rx, py - style.ry),
                          safePoint(px + style.rx, py + style.ry),
                          {}});
            marks.append({Kind::Line, previous, p, {}});
        }
        previous = p;
    }
}

void drawMarks(RouteCanvas &canvas, const RouteStyle &style, const QList<RouteMark> &marks)
{
    using namespace RouteDrawing;
    bool fontSet = false;
    bool penSet = false;
    for (const RouteMark &mark : marks) {
        switch (mark.kind) {
        case RouteMark::Kind::Label:
            if (!fontSet) {
                canvas.setFontColour(kColour);
                fontSet = true;
            }
            canvas.textOut(mark.a.x(), mark.a.y(), mark.text);
            break;
        case RouteMark::Kind::Circle:
            if (!penSet) {
                canvas.setPen(kColour, style.penWidth);
                penSet = true;
            }
            canvas.ellipse(mark.a.x(), mark.a.y(), mark.b.x(), mark.b.y());
            break;
        case RouteMark::Kind::Line:
            canvas.line(mark.a, mark.b);
            break;
        }
    }
}

void drawRoute(RouteCanvas &canvas, const MapTransform &t, const RouteStyle &style,
               const QStringList &waypointLines)
{
    QList<RouteMark> marks;
    try {
        routeMarks(t, style, waypointLines, marks);
    } catch (...) {
        drawMarks(canvas, style, marks);
        throw;
    }
    drawMarks(canvas, style, marks);
}

QRect markArea(const RouteMark &mark, const QFontMetrics &metrics, int penWidth)
{
    if (mark.kind == RouteMark::Kind::Label)
        return QRect(mark.a, QSize(metrics.horizontalAdvance(mark.text), metrics.height()));
    // Half the pen on either side of the outline, and a pixel for rounding.
    // Lines keep their true ends, which may lie anywhere a 32-bit position
    // goes: the box is worked out wide and kept within reach.
    const qint64 margin = penWidth / 2 + 1;
    const qint64 left = std::min(mark.a.x(), mark.b.x()) - margin;
    const qint64 right = std::max(mark.a.x(), mark.b.x()) + margin;
    const qint64 top = std::min(mark.a.y(), mark.b.y()) - margin;
    const qint64 bottom = std::max(mark.a.y(), mark.b.y()) + margin;
    return QRect(safePoint(left, top), safePoint(right, bottom));
}

std::optional<QRegion> redrawArea(const QList<RouteMark> &before, const QList<RouteMark> &now,
                                  const QFontMetrics &metrics, int penWidth)
{
    QHash<QString, int> beforeCount;
    QStringList beforeKeys;
    beforeKeys.reserve(before.size());
    for (const RouteMark &mark : before) {
        beforeKeys.append(markKey(mark));
        ++beforeCount[beforeKeys.last()];
    }
    // The marks of `now` that were there before, in order; the others change
    // their area.
    QRegion area;
    QStringList commonNow;
    QHash<QString, int> common;
    for (const RouteMark &mark : now) {
        const QString key = markKey(mark);
        int &left = beforeCount[key];
        if (left > 0) {
            --left;
            ++common[key];
            commonNow.append(key);
        } else {
            area += markArea(mark, metrics, penWidth);
        }
    }
    QStringList commonBefore;
    for (qsizetype i = 0; i < before.size(); ++i) {
        int &left = common[beforeKeys.at(i)];
        if (left > 0) {
            --left;
            commonBefore.append(beforeKeys.at(i));
        } else {
            area += markArea(before.at(i), metrics, penWidth);
        }
    }
    if (commonBefore != commonNow)
        return std::nullopt;
    return area;
}
