#pragma once

#include <QColor>

#include <cstdint>

// Colours as the rest of the program writes them: 0x00BBGGRR, so 0x0000FF is red.
using TColor = std::uint32_t;

namespace ui {

inline QColor ToQColor(TColor color)
{
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

inline TColor ToTColor(const QColor& color)
{
    return static_cast<TColor>(color.red()) | static_cast<TColor>(color.green()) << 8 |
           static_cast<TColor>(color.blue()) << 16;
}

// Laid over a control or a text of the skin that cannot be used: dims it into the background.
inline QColor DisabledShade()
{
    return QColor(0x13, 0x16, 0x1b, 170);
}

} // namespace ui
