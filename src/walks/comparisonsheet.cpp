#include "comparisonsheet.h"

namespace ComparisonSheet {

namespace {

using Op = SheetOperation;

// Anchors in virtual page units.
constexpr int kLeft = 50;
constexpr int kRight = 1950;
constexpr int kColumnGap = 30;
constexpr int kHeadingY = 120;
constexpr int kSubheadingY = 190;
constexpr int kTitlesY = 290;
constexpr int kFirstLineY = 360;
constexpr int kLineStep = 60;
constexpr int kRuleBelowTitles = 15;

constexpr int kHeadingSize = 16;
constexpr int kSubheadingSize = 11;
constexpr int kCellSize = 9;
// The one column that gives way when the table is wider than the page.
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

    const RouteSheetPage &page() const { return m_page; }
    int width(const QString &text, int pointSize) const
    {
        return text.isEmpty() ? 0 : m_metrics.textSize(text, pointSize).width();
    }

    // A text by its bottom at virtual y and its left edge at device x.
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
        op.from = QPoint(x, m_page.page_y(y) - size.height());
        m_out.append(op);
    }

    void rule(int y)
    {
        Op op;
        op.kind = Op::Kind::Rule;
        op.colour = kBlack;
        op.from = QPoint(m_page.page_x(kLeft), m_page.page_y(y));
        op.to = QPoint(m_page.page_x(kRight), m_page.page_y(y));
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

// The left edge of each column in device pixels, each as wide as its widest
// text; the place column narrows to what the others leave of the page.
struct Columns
{
    QList<int> left;
    int placeWidth = 0;
};

Columns columns(const Page &page, const QStringList &titles, const QList<QStringList> &rows)
{
    QList<int> widths(kColumns, 0);
    for (int c = 0; c < kColumns; ++c) {
        widths[c] = page.width(titles.value(c), kCellSize);
        for (const QStringList &row : rows)
            widths[c] = std::max(widths[c], page.width(row.value(c), kCellSize));
    }
    const int gap = page.page().page_x(kColumnGap);
    const int available = page.page().page_x(kRight) - page.page().page_x(kLeft);
    int others = (kColumns - 1) * gap;
    for (int c = 0; c < kColumns; ++c)
        others += c == kPlaceColumn ? 0 : widths[c];
    Columns out;
    out.placeWidth = std::max(0, std::min(widths[kPlaceColumn], available - others));
    widths[kPlaceColumn] = out.placeWidth;
    int x = page.page().page_x(kLeft);
    for (int c = 0; c < kColumns; ++c) {
        out.left << x;
        x += widths[c] + gap;
    }
    return out;
}

// `text` cut a character at a time until it fits `width`.
QString fitted(const Page &page, QString text, int width)
{
    while (!text.isEmpty() && page.width(text, kCellSize) > width)
        text.chop(1);
    return text;
}

void cells(Page &page, const Columns &at, const QStringList &texts, const QColor &colour, int y)
{
    for (int c = 0; c < kColumns && c < texts.size(); ++c) {
        const QString text =
            c == kPlaceColumn ? fitted(page, texts.at(c), at.placeWidth) : texts.at(c);
        page.text(text, kCellSize, colour, at.left.at(c), y);
    }
}

} // namespace

QList<SheetOperation> layout(const QString &heading, const QString &subheading,
                             const QStringList &titles, const QList<QStringList> &rows,
                             const QSize &printable, const TextMetrics &metrics)
{
    QList<Op> out;
    Page page(printable, metrics, out);
    const Columns at = columns(page, titles, rows);
    const int left = page.page().page_x(kLeft);
    for (qsizetype first = 0; first == 0 || first < rows.size(); first += kLinesPerPage) {
        if (first > 0)
            page.newPage();
        page.text(heading, kHeadingSize, kBlue, left, kHeadingY);
        page.text(subheading, kSubheadingSize, kBlack, left, kSubheadingY);
        cells(page, at, titles, kBlue, kTitlesY);
        page.rule(kTitlesY + kRuleBelowTitles);
        const qsizetype last = std::min(rows.size(), first + kLinesPerPage);
        for (qsizetype r = first; r < last; ++r)
            cells(page, at, rows.at(r), kBlack, kFirstLineY + int(r - first) * kLineStep);
    }
    return out;
}

} // namespace ComparisonSheet
