#pragma once

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>

// The program's look, shared by its windows: the colours of its layouts and
// its one font family, sized in pixels as the layouts give them.
namespace Look {

inline const QColor kLimeGreen(0, 255, 0);
inline const QColor kRed(255, 0, 0);
inline const QColor kNavy(0, 0, 128);
inline const QColor kWhite(255, 255, 255);
inline const QColor kGrey(128, 128, 128);

inline QFont arial(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// The system's default palette with every colour set, so that a widget given
// it shows the system's colours whatever its parent's palette says.
inline QPalette systemPalette()
{
    QPalette palette = QGuiApplication::palette();
    for (int group = 0; group < QPalette::NColorGroups; ++group) {
        const auto g = static_cast<QPalette::ColorGroup>(group);
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto r = static_cast<QPalette::ColorRole>(role);
            if (r == QPalette::NoRole)
                continue;
            palette.setBrush(g, r, palette.brush(g, r));
        }
    }
    return palette;
}

} // namespace Look
