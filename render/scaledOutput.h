// The picture in a window larger than 568 × 320 (a scale option, or full screen). Every layer
// draws the picture at its own size into the bottom-left corner of the back buffer, where a
// screenshot reads it; present() then copies it into a texture and draws it again over the
// window, as large as fits with the shape kept, centred on black. Owned by the application.
#pragma once

#include <cstdint>

#include "render/types.h"

namespace QEL {

class ScaledOutput {
public:
    ScaledOutput() = default;
    ~ScaledOutput();
    ScaledOutput(const ScaledOutput&) = delete;
    ScaledOutput& operator=(const ScaledOutput&) = delete;

    // Where the picture lands in a window of `width` × `height` pixels (origin top left).
    static IntCoords placement(int32_t width, int32_t height);
    // Window pixel → picture pixel (origin top left); points on the black bars map to the
    // nearest edge of the picture.
    static void toPicture(int32_t width, int32_t height, int32_t& x, int32_t& y);

    // Shows the picture drawn at its own size over the whole window; nothing to do at 568 × 320.
    // Leaves the viewport at the picture's size for the next picture.
    void present(int32_t width, int32_t height);

private:
    uint32_t texture = 0;
};

}  // namespace QEL
