#pragma once

#include <QPalette>

// System colours the widget tests can name pixel by pixel.
namespace fixed {

inline constexpr QRgb kFace = 0xFFC0C0C0;      // clBtnFace
inline constexpr QRgb kShadow = 0xFF808080;    // clBtnShadow
inline constexpr QRgb kHighlight = 0xFFFFFFFF; // clBtnHighlight
inline constexpr QRgb kFrame = 0xFF000000;     // clWindowFrame
inline constexpr QRgb kText = 0xFF000010;      // clBtnText

inline QPalette Palette() {
    QPalette palette;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Button, QColor::fromRgb(kFace));
        palette.setColor(group, QPalette::Window, QColor::fromRgb(kFace));
        palette.setColor(group, QPalette::Dark, QColor::fromRgb(kShadow));
        palette.setColor(group, QPalette::Light, QColor::fromRgb(kHighlight));
        palette.setColor(group, QPalette::Shadow, QColor::fromRgb(kFrame));
        palette.setColor(group, QPalette::ButtonText, QColor::fromRgb(kText));
    }
    return palette;
}

} // namespace fixed
