#include "comparisonsheet.h"

namespace ComparisonSheet {

namespace {

using Op = SheetOperation;

// Anchors in virtual page units: the left edge of each column.
constexpr int kColumnX[kColumns] = {50, 150, 700, 890, 1110, 1260, 1470, 1680, 1860};
constexpr int kHeadingY = 120;
constexpr int kSubheadingY = 190;
constexpr int kTitlesY = 290;
constexpr int kFirstLineY = 360;
constexpr int kLineStep = 60;
constexpr int kRuleLeft = 50;
constexpr int kRuleRight = 1950;
constexpr int kRuleBelowTitles = 15;

constexpr int kHeadingSize = 18;
constexpr int kSubheadingSize = 12;
constexpr int kCellSize = 9;
// The place column holds this many characters; the rest is cut.
constexpr int kPlaceLength = 30;
constexpr int kPlaceColumn = 1;

const QColor kBlue(0, 0, 255);
const QColor kBlack(0, 0, 0);

class Page
{
public:
    Page(const QSize &printable, const TextMetrics &metrics, QList<Op> &out)
        : m_page(printable), m_metrics(metrics), m_out(out)
    {
    }

    // A text by its bottom at virtual y and its left edge at virtual x.
    void text(const QString &text, int pointSize, const QColor &colour, int x, int y)
    {
        if (text.isEmpty())
            return;
        const QSize size = m_metrics.textSize(text, pointSize);
        Op op;
        op.kind = Op::Kind::Text;
        op.text = text;
        op.pointSize = pointSize;
        op.colour = colour;
        op.from = QPoint(m_page.page_x(x), m_page.page_y(y) - size.height());
        m_out.append(op);
    }

    void rule(int y)
    {
        Op op;
        op.kind = Op::Kind::Rule;
        op.colour = kBlack;
        op.from = QPoint(m_page.page_x(kRuleLeft), m_page.page_y(y));
        op.to = QPoint(m_page.page_x(kRuleRight), m_page.page_y(y));
        op.penWidth = RouteSheet::kRuleWidth;
        m_out.append(op);
    }

    void newPage()
    {
        Op op;
        op.kind = Op::Kind::NewPage;
        m_out.append(op);
    }

private:
    RouteSheetPage m_page;
    const TextMetrics &m_metrics;
    QList<Op> &m_out;
};

void cells(Page &page, const QStringList &texts, const QColor &colour, int y)
{
    for (int c = 0; c < kColumns && c < texts.size(); ++c) {
        const QString text = c == kPlaceColumn ? texts.at(c).left(kPlaceLength) : texts.at(c);
        page.text(text, kCellSize, colour, kColumnX[c], y);
    }
}

} // namespace

QList<SheetOperation> layout(const QString &heading, const QString &subheading,
                             const QStringList &titles, const QList<QStringList> &rows,
                             const QSize &printable, const TextMetrics &metrics)
{
    QList<Op> out;
    Page page(printable, metrics, out);
    for (qsizetype first = 0; first == 0 || first < rows.size(); first += kLinesPerPage) {
        if (first > 0)
            page.newPage();
        page.text(heading, kHeadingSize, kBlue, kColumnX[0], kHeadingY);
        page.text(subheading, kSubheadingSize, kBlack, kColumnX[0], kSubheadingY);
        cells(page, titles, kBlue, kTitlesY);
        page.rule(kTitlesY + kRuleBelowTitles);
        const qsizetype last = std::min(rows.size(), first + kLinesPerPage);
        for (qsizetype r = first; r < last; ++r)
            cells(page, rows.at(r), kBlack, kFirstLineY + int(r - first) * kLineStep);
    }
    return out;
}

} // namespace ComparisonSheet
