#pragma once

#include <QColor>
#include <QFont>

// The program's look, shared by its windows: the colours of its layouts and
// its one font family, sized in pixels as the layouts give them.
namespace Look {

inline const QColor kLimeGreen(0, 255, 0);
inline const QColor kRed(255, 0, 0);
inline const QColor kNavy(0, 0, 128);
inline const QColor kWhite(255, 255, 255);

inline QFont arial(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace Look
