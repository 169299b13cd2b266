#pragma once

#include "mapconversion.h"

#include <QColor>
#include <QList>
#include <QPoint>
#include <QRegion>
#include <QString>
#include <QStringList>

#include <optional>

class QFontMetrics;
class QPainter;

// A route drawn over the displayed map: red circles joined by lines, each
// with its label, the start marked twice as large.

// Where the route goes. The operations are those of the map canvas, which
// keeps its font colour, pen colour and pen width from one call to the next.
class RouteCanvas
{
public:
    virtual ~RouteCanvas();
    virtual void setFontColour(const QColor &colour) = 0;
    // The text in the current font and font colour, its top-left corner at
    // (left, top), over the canvas's solid white background.
    virtual void textOut(int left, int top, const QString &text) = 0;
    virtual void setPen(const QColor &colour, int width) = 0;
    // An ellipse in the box from (left, top) to (right, bottom), its inside
    // filled with the canvas's solid white brush.
    virtual void ellipse(int left, int top, int right, int bottom) = 0;
    virtual void line(QPoint from, QPoint to) = 0;
};

// Draws with a painter on the displayed picture, whose font (and clip, if
// any) is already set.
class PainterRouteCanvas : public RouteCanvas
{
public:
    explicit PainterRouteCanvas(QPainter &painter);

    void setFontColour(const QColor &colour) override;
    void textOut(int left, int top, const QString &text) override;
    void setPen(const QColor &colour, int width) override;
    void ellipse(int left, int top, int right, int bottom) override;
    void line(QPoint from, QPoint to) override;

private:
    QPainter &m_painter;
    QColor m_fontColour;
    QColor m_penColour;
    int m_penWidth = 1;
};

namespace RouteDrawing {
// Circle half-axes are the density divided by this, plus one.
constexpr int kDensityPerHalfAxis = 50;
// The pen width is the sum of both densities divided by this, plus one.
constexpr int kDensitiesPerPenWidth = 300;
// Labels sit this many pixels left of and above their point.
constexpr int kLabelShift = 20;
// The start's circle and label distance are this many times the others.
constexpr int kStartScale = 2;
inline const QColor kColour{255, 0, 0};
} // namespace RouteDrawing

// The sizes of the marks for a map's densities.
struct RouteStyle
{
    int rx = 1;
    int ry = 1;
    int penWidth = 1;
    // The start's label distance: twice the labels' font size in points.
    int startLabelShiftX = 0;
    int startLabelShiftY = 0;
};
RouteStyle routeStyle(quint16 xdens, quint16 ydens);

// One mark of a drawn route: a label (its text with the top-left corner at
// `a`), a circle (in the box from `a` to `b`) or a line (from `a` to `b`).
struct RouteMark
{
    enum class Kind { Label, Circle, Line };
    Kind kind = Kind::Label;
    QPoint a;
    QPoint b;
    QString text;

    bool operator==(const RouteMark &other) const = default;
};

// The marks of the complete records of a waypoint file, in drawing order,
// appended to `marks`. An easting, northing or label offset that is not a
// whole number throws "'%s' n'est pas une valeur entière correcte", the marks
// of the waypoints before it in place.
void routeMarks(const MapTransform &t, const RouteStyle &style, const QStringList &waypointLines,
                QList<RouteMark> &marks);

// Draws marks over what the canvas holds, all in red, the pen of the style.
void drawMarks(RouteCanvas &canvas, const RouteStyle &style, const QList<RouteMark> &marks);

// routeMarks then drawMarks: on a damaged record the waypoints before it are
// drawn, then the error is thrown.
void drawRoute(RouteCanvas &canvas, const MapTransform &t, const RouteStyle &style,
               const QStringList &waypointLines);

// The pixels a mark may change, labels measured in the picture's font.
QRect markArea(const RouteMark &mark, const QFontMetrics &metrics, int penWidth);

// The pixels of a picture holding the marks `before` that drawing `now` over
// it can change: the areas of the marks drawn only then or only now. Every
// other pixel is covered by the same marks in both, so when the marks common
// to both come in the same order a redraw clipped to this area gives the
// picture a full redraw would. Nothing when that order differs.
std::optional<QRegion> redrawArea(const QList<RouteMark> &before, const QList<RouteMark> &now,
                                  const QFontMetrics &metrics, int penWidth);
