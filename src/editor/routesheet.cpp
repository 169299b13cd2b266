#include "routesheet.h"

#include "data/itinerary.h"
#include "data/stringgrid.h"
#include "data/textforms.h"

#include <QPaintDevice>
#include <cmath>

namespace {

using Op = SheetOperation;

// Anchors and steps in virtual page units.
constexpr int kLineStep = 50;
constexpr int kHeaderBottom = 167;
constexpr int kTotalsPageTop = 100;
constexpr int kRuleLeft = 83;
constexpr int kRuleRight = 1835;
constexpr int kRuleAbove = 12;
constexpr int kTitleX = 917;
constexpr int kDateX = 1918;
constexpr int kPlaceX = 50;
constexpr int kPositionX = 917;
constexpr int kAltitudeX = 1585;
constexpr int kTimeX = 1918;
constexpr int kMeansX = 584;
constexpr int kDistanceX = 1334;
constexpr int kTotalsX = 50;

// Font sizes in points.
constexpr int kTitleSize = 24;
constexpr int kDateSize = 18;
constexpr int kPlaceSize = 16;
constexpr int kPositionSize = 10;
constexpr int kAltitudeSize = 12;
constexpr int kTimeSize = 16;
constexpr int kLegSize = 14;
constexpr int kTotalsSize = 14;

// The means-of-travel text shows the code less its mode letter, a blank and
// the bearing, cut to this length.
constexpr int kMeansTextLength = 20;

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);
const QColor kBlack(0, 0, 0);

enum class Align { Left, Right, Centre };

class SheetBuilder
{
public:
    SheetBuilder(const QSize &printable, const TextMetrics &metrics)
        : m_page(printable), m_metrics(metrics)
    {
    }

    const RouteSheetPage &page() const { return m_page; }

    // Places a text by its bottom at y (device pixels) and by its anchor x
    // (virtual units).
    void text(const QString &text, int pointSize, const QColor &colour, int anchorX, Align align,
              int bottom)
    {
        if (text.isEmpty())
            return;
        const QSize size = m_metrics.textSize(text, pointSize);
        const int x = m_page.page_x(anchorX);
        int left = x;
        if (align == Align::Right)
            left = x - size.width();
        else if (align == Align::Centre)
            left = x - size.width() / 2;
        Op op;
        op.kind = Op::Kind::Text;
        op.text = text;
        op.pointSize = pointSize;
        op.colour = colour;
        op.from = QPoint(left, bottom - size.height());
        m_ops.append(op);
    }

    void rule(int y)
    {
        Op op;
        op.kind = Op::Kind::Rule;
        op.colour = kBlue;
        op.penWidth = RouteSheet::kRuleWidth;
        op.from = QPoint(m_page.page_x(kRuleLeft), y);
        op.to = QPoint(m_page.page_x(kRuleRight), y);
        m_ops.append(op);
    }

    void newPage()
    {
        Op op;
        op.kind = Op::Kind::NewPage;
        m_ops.append(op);
    }

    QList<Op> take() { return std::move(m_ops); }

private:
    RouteSheetPage m_page;
    const TextMetrics &m_metrics;
    QList<Op> m_ops;
};

QChar modeOf(const QString &means)
{
    return means.isEmpty() ? QChar() : means.at(0);
}

bool isWalking(QChar mode)
{
    return mode == QLatin1Char('M');
}

// Green for walking and cycling, red for stops, blue for driving and for any
// other letter.
QColor legColour(const QString &means)
{
    const QChar mode = modeOf(means);
    if (mode == QLatin1Char('M') || mode == QLatin1Char('O'))
        return kGreen;
    if (mode == QLatin1Char('P'))
        return kRed;
    return kBlue;
}

QString withUnit(const QString &cell, const char *unit)
{
    return cell.isEmpty() ? QString() : cell + QLatin1String(unit);
}

} // namespace

QFont RouteSheet::font(int pointSize)
{
    QFont f(QString::fromLatin1(kFontFamily));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(pointSize);
    return f;
}

RouteSheetPage::RouteSheetPage(const QSize &printable)
    : m_sx(static_cast<double>(printable.width()) / RouteSheet::kPageWidth),
      m_sy(static_cast<double>(printable.height()) / RouteSheet::kPageHeight)
{
}

// std::nearbyint follows the default rounding mode, which rounds halves to
// even.
int RouteSheetPage::page_x(int n) const
{
    return static_cast<int>(std::nearbyint(n * m_sx));
}

int RouteSheetPage::page_y(int n) const
{
    return static_cast<int>(std::nearbyint(n * m_sy));
}

TextMetrics::~TextMetrics() = default;

DeviceTextMetrics::DeviceTextMetrics(const QPaintDevice *device) : m_device(device) {}

const QFontMetrics &DeviceTextMetrics::metrics(int pointSize) const
{
    auto it = m_metrics.find(pointSize);
    if (it == m_metrics.end())
        it =
            m_metrics.emplace(pointSize, QFontMetrics(RouteSheet::font(pointSize), m_device)).first;
    return it->second;
}

QSize DeviceTextMetrics::textSize(const QString &text, int pointSize) const
{
    const QFontMetrics &fm = metrics(pointSize);
    return QSize(fm.horizontalAdvance(text), fm.height());
}

int lastRouteSheetStage(const StringGrid &stages)
{
    for (int row = std::min(Itinerary::kStages, stages.rowCount() - 1); row >= 1; --row) {
        if (!stages.cell(Itinerary::Place, row).isEmpty())
            return row;
    }
    return 0;
}

RouteSheetTotals routeSheetTotals(const StringGrid &stages, int lastStage)
{
    using namespace Itinerary;
    RouteSheetTotals totals;
    for (int a = 2; a <= lastStage; ++a) {
        const int g = a - 1;
        const QChar mode = modeOf(stages.cell(Means, g));
        const QString &distance = stages.cell(Distance, g);
        if (isWalking(mode)) {
            const QString &arrival = stages.cell(Altitude, a);
            const QString &departure = stages.cell(Altitude, g);
            if (!arrival.isEmpty() && !departure.isEmpty()) {
                const qint64 d = qint64(parse_integer(arrival)) - parse_integer(departure);
                if (d > 0)
                    totals.climb += d;
                else
                    totals.descent -= d;
            }
            if (!distance.isEmpty())
                totals.walked += parse_integer(distance);
        } else if (mode == QLatin1Char('O')) {
            if (!distance.isEmpty())
                totals.cycled += parse_integer(distance);
        } else if (mode == QLatin1Char('T') || mode == QLatin1Char('V')) {
            if (!distance.isEmpty())
                totals.driven += parse_integer(distance);
        }
    }
    return totals;
}

QList<SheetOperation> routeSheetLayout(const StringGrid &stages, const QString &title,
                                       const QString &date, const QSize &printable,
                                       const TextMetrics &metrics)
{
    using namespace Itinerary;
    const int last = lastRouteSheetStage(stages);
    // The only conversions that can fail come first, so that a failure leaves
    // nothing drawn and the printer is never left inside a document.
    const RouteSheetTotals totals = routeSheetTotals(stages, last);

    SheetBuilder sheet(printable, metrics);
    const RouteSheetPage &page = sheet.page();
    const int step = page.page_y(kLineStep);

    sheet.text(title, kTitleSize, kBlue, kTitleX, Align::Centre, page.page_y(kHeaderBottom));
    sheet.text(date, kDateSize, kBlack, kDateX, Align::Right, page.page_y(kHeaderBottom));
    int y = page.page_y(kHeaderBottom) + step;

    for (int a = 1; a <= last; ++a) {
        if (a % RouteSheet::kLinesPerPage == 0) {
            y = page.page_y(kHeaderBottom);
            sheet.newPage();
        }
        y += step;
        const QString &place = stages.cell(Place, a);
        if (!place.isEmpty())
            sheet.rule(y - page.page_y(kRuleAbove));
        sheet.text(place, kPlaceSize, kBlack, kPlaceX, Align::Left, y);
        sheet.text(stages.cell(Position, a), kPositionSize, kRed, kPositionX, Align::Centre, y);
        sheet.text(withUnit(stages.cell(Altitude, a), " m"), kAltitudeSize, kRed, kAltitudeX,
                   Align::Right, y);
        sheet.text(withUnit(stages.cell(Time, a), " H"), kTimeSize, kBlack, kTimeX, Align::Right,
                   y);

        y += step;
        const QString &means = stages.cell(Means, a);
        const QColor colour = legColour(means);
        const QString meansText =
            means.isEmpty()
                ? QString()
                : (means + QLatin1Char(' ') + stages.cell(Orientation, a)).mid(1, kMeansTextLength);
        sheet.text(meansText, kLegSize, colour, kMeansX, Align::Left, y);
        sheet.text(withUnit(stages.cell(Distance, a), isWalking(modeOf(means)) ? " m" : " Km"),
                   kLegSize, colour, kDistanceX, Align::Right, y);
    }

    struct TotalLine
    {
        qint64 value;
        QString label;
        const char *unit;
    };
    const TotalLine lines[] = {
        {totals.driven, QStringLiteral("Kilomètrage en Voiture : "), " Km"},
        {totals.cycled, QStringLiteral("Kilomètrage en Vélo : "), " Km"},
        {totals.walked, QStringLiteral("Distance à pied parcourue : "), " m"},
        {totals.climb, RouteSheet::kClimbLabel, " m"},
        {totals.descent, RouteSheet::kDescentLabel, " m"},
    };
    int counter = last;
    for (const TotalLine &line : lines) {
        if (line.value <= 0)
            continue;
        ++counter;
        if (counter % RouteSheet::kLinesPerPage == 0) {
            sheet.newPage();
            y = page.page_y(kTotalsPageTop);
        }
        y += step;
        sheet.text(line.label + QString::number(line.value) + QLatin1String(line.unit), kTotalsSize,
                   kBlack, kTotalsX, Align::Left, y);
    }
    return sheet.take();
}
