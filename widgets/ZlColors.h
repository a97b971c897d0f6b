#pragma once

#include <QColor>
#include <QPalette>

#include <cstdint>

// Colours as the class library names them: plain values in BGR order (red in the low byte),
// system colours as 0x80000000 plus the system colour index. System colours are taken from
// the palette in use.
namespace widgets {

using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;

constexpr TColor clWindow = 0x80000005;
constexpr TColor clWindowFrame = 0x80000006;
constexpr TColor clWindowText = 0x80000008;
constexpr TColor clHighlight = 0x8000000D;
constexpr TColor clHighlightText = 0x8000000E;
constexpr TColor clBtnFace = 0x8000000F;
constexpr TColor clBtnShadow = 0x80000010;
constexpr TColor clGrayText = 0x80000011;
constexpr TColor clBtnText = 0x80000012;
constexpr TColor clBtnHighlight = 0x80000014;

// The colour value (an opaque QRgb) of `color`, system colours read from `palette`'s active group:
// clBtnFace Button, clBtnShadow Dark, clBtnHighlight Light, clWindowFrame Shadow, clBtnText
// ButtonText, clWindow Base, clWindowText WindowText, clGrayText the disabled Text.
QRgb ColorToRGB(TColor color, const QPalette& palette);
QColor ToQColor(TColor color, const QPalette& palette);
// The plain BGR colour of a pixel (alpha dropped).
TColor RGBToColor(QRgb rgb);

} // namespace widgets
