#pragma once

#include "mapconversion.h"

#include <QColor>
#include <QFont>
#include <QString>

class QPainter;

// The datum title and the kilometre labels drawn over a calibrated map.

// Where the labels go: measures and draws texts in the current font.
class LabelCanvas
{
public:
    virtual ~LabelCanvas();
    virtual int textWidth(const QString &text) const = 0;
    virtual int textHeight(const QString &text) const = 0;
    // Draws the text with its top-left corner at (left, top).
    virtual void textOut(int left, int top, const QString &text) = 0;
};

// Draws with a painter whose font is already set, each text on the solid
// white background of the map canvas.
class PainterLabelCanvas : public LabelCanvas
{
public:
    explicit PainterLabelCanvas(QPainter &painter);
    int textWidth(const QString &text) const override;
    int textHeight(const QString &text) const override;
    void textOut(int left, int top, const QString &text) override;

private:
    QPainter &m_painter;
};

namespace GridLabels {
// The row along which the easting labels are computed and drawn, and the
// column along which the northing labels are computed.
constexpr int kEastingRow = 40;
constexpr int kNorthingColumn = 40;
constexpr int kTitleTop = 20;
constexpr int kMetresPerKilometre = 1000;
// The label font size in points is the horizontal density divided by this.
constexpr int kDensityPerPoint = 10;
inline const QColor kColour{0, 0, 255};
inline const QString kFontFamily = QStringLiteral("Arial");
} // namespace GridLabels

// " " + zone + letter + " " + datum + " ".
QString gridTitle(const QString &zone, const QString &letter, const QString &datum);

// Arial in Xdens div 10 points.
QFont gridLabelFont(quint16 xdens);

// The title centred at the top, then a label at each kilometre crossed along
// row 40 going right (eastings) and along column 40 going down (northings),
// over a picture of the given size.
void drawGridLabels(LabelCanvas &canvas, const MapTransform &t, int width, int height,
                    const QString &title);
