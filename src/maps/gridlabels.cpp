#include "gridlabels.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QString kBlank = QStringLiteral(" ");

QString labelText(qint64 metres)
{
    return kBlank + QString::number(metres) + kBlank;
}

qint64 truncated(long double value)
{
    // A damaged calibration can put the kilometres beyond the 64-bit range;
    // they are held at its edge rather than converted out of range.
    constexpr long double kLimit = 9.2e18L;
    return static_cast<qint64>(std::trunc(std::clamp(value, -kLimit, kLimit)));
}

} // namespace

LabelCanvas::~LabelCanvas() = default;

PainterLabelCanvas::PainterLabelCanvas(QPainter &painter) : m_painter(painter) {}

int PainterLabelCanvas::textWidth(const QString &text) const
{
    return m_painter.fontMetrics().horizontalAdvance(text);
}

int PainterLabelCanvas::textHeight(const QString &) const
{
    return m_painter.fontMetrics().height();
}

void PainterLabelCanvas::textOut(int left, int top, const QString &text)
{
    const QFontMetrics metrics = m_painter.fontMetrics();
    m_painter.fillRect(QRect(left, top, metrics.horizontalAdvance(text), metrics.height()),
                       Qt::white);
    m_painter.drawText(QPoint(left, top + metrics.ascent()), text);
}

QString gridTitle(const QString &zone, const QString &letter, const QString &datum)
{
    return kBlank + zone + letter + kBlank + datum + kBlank;
}

QFont gridLabelFont(quint16 xdens)
{
    QFont font(GridLabels::kFontFamily);
    const int points = xdens / GridLabels::kDensityPerPoint;
    // A density under 10 gives no usable size; the font keeps its default.
    if (points > 0)
        font.setPointSize(points);
    return font;
}

void drawGridLabels(LabelCanvas &canvas, const MapTransform &t, int width, int height,
                    const QString &title)
{
    using namespace GridLabels;
    canvas.textOut((width - canvas.textWidth(title)) / 2, kTitleTop, title);

    const long double c0 = t.c[0], c1 = t.c[1], c2 = t.c[2];
    qint64 last = roundHalfEven(c0 + c2 * kEastingRow) / kMetresPerKilometre;
    for (int x = 0; x <= width; ++x) {
        const qint64 km = truncated((x * c1 + c0) + c2 * kEastingRow) / kMetresPerKilometre;
        if (km != last) {
            const QString text = labelText(km * kMetresPerKilometre);
            canvas.textOut(x - canvas.textWidth(text) / 2, kEastingRow, text);
            last = km;
        }
    }

    const long double d0 = t.d[0], d1 = t.d[1], d2 = t.d[2];
    last = roundHalfEven(d1 * kNorthingColumn + d0) / kMetresPerKilometre;
    for (int y = 0; y <= height; ++y) {
        const qint64 km = truncated((d1 * kNorthingColumn + d0) + y * d2) / kMetresPerKilometre;
        if (km != last) {
            // Northings fall going down: the line just crossed is the next
            // kilometre up.
            const QString text = labelText((km + 1) * kMetresPerKilometre);
            canvas.textOut(0, y - canvas.textHeight(text) / 2, text);
            last = km;
        }
    }
}
