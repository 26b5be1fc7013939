// The logical screen: 568 × 320 pixels, y downwards. Every batch is made for it, and every
// conversion from screen pixels to OpenGL device units goes through these functions.
#pragma once

namespace QEL {

constexpr int kScreenWidth = 568;
constexpr int kScreenHeight = 320;

// Pixel position → device point: x / 568 × 2 − 1 and (320 − y) / 320 × 2 − 1.
inline float pixelToDeviceX(float px) { return px / kScreenWidth * 2.0f - 1.0f; }
inline float pixelToDeviceY(float py) { return (kScreenHeight - py) / kScreenHeight * 2.0f - 1.0f; }

// Pixel sizes → fractions of the screen, as quad widths and heights are given.
inline float widthFraction(float px) { return px / kScreenWidth; }
inline float heightFraction(float py) { return py / kScreenHeight; }

}  // namespace QEL
