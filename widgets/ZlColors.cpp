#include "ZlColors.h"

namespace widgets {
namespace {

constexpr TColor kSystemFlag = 0x80000000;

QColor SystemColor(TColor color, const QPalette& palette) {
    const auto active = [&](QPalette::ColorRole role) { return palette.color(QPalette::Active, role); };
    switch (color) {
    case clWindow:
        return active(QPalette::Base);
    case clWindowFrame:
        return active(QPalette::Shadow);
    case clWindowText:
        return active(QPalette::WindowText);
    case clHighlight:
        return active(QPalette::Highlight);
    case clHighlightText:
        return active(QPalette::HighlightedText);
    case clBtnFace:
        return active(QPalette::Button);
    case clBtnShadow:
        return active(QPalette::Dark);
    case clGrayText:
        return palette.color(QPalette::Disabled, QPalette::Text);
    case clBtnText:
        return active(QPalette::ButtonText);
    case clBtnHighlight:
        return active(QPalette::Light);
    default:
        return active(QPalette::Window);
    }
}

} // namespace

QRgb ColorToRGB(TColor color, const QPalette& palette) {
    if (color & kSystemFlag) return SystemColor(color, palette).rgb() | 0xFF000000u;
    return qRgb(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

QColor ToQColor(TColor color, const QPalette& palette) {
    return QColor::fromRgb(ColorToRGB(color, palette));
}

TColor RGBToColor(QRgb rgb) {
    return static_cast<TColor>(qRed(rgb)) | static_cast<TColor>(qGreen(rgb)) << 8 |
           static_cast<TColor>(qBlue(rgb)) << 16;
}

} // namespace widgets
