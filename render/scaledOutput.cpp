#include "render/scaledOutput.h"

#include "render/screen.h"

#include <GL/gl.h>

#include <algorithm>

namespace QEL {

namespace {

// The smallest power-of-two texture the picture fits in.
constexpr int32_t kTextureWidth = 1024;
constexpr int32_t kTextureHeight = 512;

}  // namespace

ScaledOutput::~ScaledOutput() {
    if (texture) glDeleteTextures(1, &texture);
}

IntCoords ScaledOutput::placement(int32_t width, int32_t height) {
    // The picture's shape is kept: the window's width decides unless that would be too tall.
    int32_t w = width, h = int32_t(int64_t(width) * kScreenHeight / kScreenWidth);
    if (h > height) {
        h = height;
        w = int32_t(int64_t(height) * kScreenWidth / kScreenHeight);
    }
    return IntCoords((width - w) / 2, (height - h) / 2, std::max(w, 1), std::max(h, 1));
}

void ScaledOutput::toPicture(int32_t width, int32_t height, int32_t& x, int32_t& y) {
    const IntCoords at = placement(width, height);
    x = std::clamp(int32_t(int64_t(x - at.x) * kScreenWidth / at.w), 0, kScreenWidth - 1);
    y = std::clamp(int32_t(int64_t(y - at.y) * kScreenHeight / at.h), 0, kScreenHeight - 1);
}

void ScaledOutput::present(int32_t width, int32_t height) {
    if (width == kScreenWidth && height == kScreenHeight) return;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    if (!texture) {
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, kTextureWidth, kTextureHeight, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    }
    glBindTexture(GL_TEXTURE_2D, texture);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, kScreenWidth, kScreenHeight);
    const IntCoords at = placement(width, height);
    // Whole-number enlargements stay sharp; others are smoothed.
    const bool whole = at.w % kScreenWidth == 0 && at.h % kScreenHeight == 0;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, whole ? GL_NEAREST : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, whole ? GL_NEAREST : GL_LINEAR);

    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glViewport(0, 0, width, height);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glViewport(at.x, height - at.y - at.h, at.w, at.h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    const float s = float(kScreenWidth) / kTextureWidth, t = float(kScreenHeight) / kTextureHeight;
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2f(-1, -1);
    glTexCoord2f(s, 0), glVertex2f(1, -1);
    glTexCoord2f(s, t), glVertex2f(1, 1);
    glTexCoord2f(0, t), glVertex2f(-1, 1);
    glEnd();
    glPopAttrib();  // the viewport goes back to the picture's own size, with the rest of the state
}

}  // namespace QEL
