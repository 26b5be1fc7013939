// Small value types passed around by the drawing code: colours and rectangles.
// Each is a plain value with four fields; the default constructor leaves them unset.
#pragma once

#include <cstdint>

namespace QEL {

// A colour with channels from 0.0 to 1.0; r, g, b, a is the order handed to OpenGL.
class Color {
public:
    Color() {}
    Color(float red, float green, float blue, float alpha) : r(red), g(green), b(blue), a(alpha) {}
    virtual ~Color() {}

    float r, g, b, a;

    static const Color white, red, green, blue, yellow, cyan, magenta, black, grey;
};

// A colour with channels from 0 to 255.
class intColor {
public:
    intColor() {}
    intColor(int32_t red, int32_t green, int32_t blue, int32_t alpha) : r(red), g(green), b(blue), a(alpha) {}
    virtual ~intColor() {}

    int32_t r, g, b, a;

    static const intColor white, red, green, blue, yellow, cyan, magenta, black, transparent;
};

// A rectangle: a position and a size, in whatever units the caller works in
// (device units for quad positions, texture units for texture rectangles).
class FloatCoords {
public:
    FloatCoords() {}
    FloatCoords(float px, float py, float pw, float ph) : x(px), y(py), w(pw), h(ph) {}
    virtual ~FloatCoords() {}

    // x and w divided by `width`, y and h by `height`: texture pixels → texture units,
    // screen pixels → fractions of the screen.
    FloatCoords dividedBy(float width, float height) const {
        return FloatCoords(x / width, y / height, w / width, h / height);
    }

    float x, y, w, h;
};

// A rectangle in pixels, e.g. the screen area read for a screenshot.
class IntCoords {
public:
    IntCoords() {}
    IntCoords(int32_t px, int32_t py, int32_t pw, int32_t ph) : x(px), y(py), w(pw), h(ph) {}
    virtual ~IntCoords() {}

    int32_t x, y, w, h;
};

}  // namespace QEL
