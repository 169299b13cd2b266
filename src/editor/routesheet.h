#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <map>

class QPaintDevice;
class StringGrid;

// The route sheet: the open itinerary laid out on a virtual page of
// 2000 x 2800 units scaled to the printable area of the printer's page, so
// the sheet keeps its proportions on any paper.
namespace RouteSheet {
constexpr int kPageWidth = 2000;
constexpr int kPageHeight = 2800;

// The sheet's one font family; where it is missing the system's metric
// twin (Liberation Sans through fontconfig) takes its place.
inline constexpr char kFontFamily[] = "Arial";

// Stages per page: stage 26 opens the second page, and the totals' own
// counter breaks the page at the same multiple.
constexpr int kLinesPerPage = 26;

// Pen width of the rule above a named stage, in device pixels.
constexpr int kRuleWidth = 2;

// The labels of the climb and descent totals, which the elevation profile
// prints too.
inline const QString kClimbLabel = QStringLiteral("Dénivelée cumulée : ");
inline const QString kDescentLabel = QStringLiteral("Descente : ");

// The font the sheet is drawn with, at a size in points.
QFont font(int pointSize);
} // namespace RouteSheet

// The conversion of virtual units to device pixels for one printable size.
class RouteSheetPage
{
public:
    // The printable width and height of the page in device pixels.
    explicit RouteSheetPage(const QSize &printable);

    // n x scale, rounded to the nearest integer with halves to even.
    int page_x(int n) const;
    int page_y(int n) const;

private:
    double m_sx;
    double m_sy;
};

// Width and height, in device pixels, of a text in the sheet's font at a size
// in points. The printout measures with the printer's own font metrics so that
// every anchor is exact on the paper.
class TextMetrics
{
public:
    virtual ~TextMetrics();
    virtual QSize textSize(const QString &text, int pointSize) const = 0;
};

// The font metrics of the sheet's font on a paint device (the printer).
class DeviceTextMetrics : public TextMetrics
{
public:
    explicit DeviceTextMetrics(const QPaintDevice *device);
    QSize textSize(const QString &text, int pointSize) const override;

private:
    const QFontMetrics &metrics(int pointSize) const;

    const QPaintDevice *m_device;
    mutable std::map<int, QFontMetrics> m_metrics;
};

// One step of drawing a printed page: the route sheet, and the other print
// layouts that follow its pattern. Texts carry their final top-left corner in
// device pixels, anchoring already done; empty texts are left out since they
// draw nothing. A rule is any straight line. A picture copies the `source`
// pixels of the picture being printed into the `target` rectangle.
struct SheetOperation
{
    enum class Kind { NewPage, Text, Rule, Picture };

    Kind kind = Kind::Text;
    QString text;
    int pointSize = 0;
    QColor colour;
    QPoint from; // a text's top-left corner, or a rule's first end
    QPoint to;   // a rule's second end
    int penWidth = 0;
    QRect source; // a picture's pixels
    QRect target; // where they go, in device pixels

    bool operator==(const SheetOperation &other) const = default;
};

// The totals of the legs between the printed stages. Held wider than the
// cells' 32 bits so that large distances or altitudes read from a file
// cannot wrap around.
struct RouteSheetTotals
{
    qint64 driven = 0;
    qint64 cycled = 0;
    qint64 walked = 0;
    qint64 climb = 0;
    qint64 descent = 0;
};

// The last stage whose place is not empty, 0 when every place is empty.
int lastRouteSheetStage(const StringGrid &stages);

// The totals of the legs leading to stages 2..lastStage. Throws
// "'%s' n'est pas une valeur entière correcte" for the first altitude or
// distance that a total needs and that is not an integer.
RouteSheetTotals routeSheetTotals(const StringGrid &stages, int lastStage);

// The whole sheet as drawing operations, the first page being implicit. Every
// conversion that can fail is done before the first operation is made, so an
// unreadable cell throws and nothing is drawn.
QList<SheetOperation> routeSheetLayout(const StringGrid &stages, const QString &title,
                                       const QString &date, const QSize &printable,
                                       const TextMetrics &metrics);
