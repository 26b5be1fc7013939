#include "render/QuadSet.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "base/log.h"
#include "render/screen.h"

namespace QEL {

MirrorMode screenMirrorMode = MirrorMode::none;

namespace {

constexpr uint32_t kVerticesPerQuad = 4;
constexpr uint32_t kIndicesPerQuad = 6;

const float kPi = static_cast<float>(4.0 * std::atan(1.0));

}  // namespace

void clearScreen() { glClear(GL_COLOR_BUFFER_BIT); }

bool viewportIsScreen() {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    return viewport[0] == 0 && viewport[1] == 0 && viewport[2] == kScreenWidth && viewport[3] == kScreenHeight;
}

Quad::Quad(QuadSet* ownerSet) : owner(ownerSet) { setAllColors(Color::white); }

void Quad::setAllColors(const Color& color) {
    for (Color& corner : colors) corner = color;
}

void Quad::setTextureRect(const FloatCoords& pixelRect) {
    textureRect = pixelRect.dividedBy(owner->getTextureWidth(), owner->getTextureHeight());
}

QuadSet::QuadSet(int32_t screenW, int32_t screenH)
    : screenWidth(static_cast<float>(screenW)), screenHeight(static_cast<float>(screenH)) {}

QuadSet::~QuadSet() {
    if (hasTexture) glDeleteTextures(1, &textureName);
    clearQuads();
}

void QuadSet::unlock() { editable = true; }

Quad* QuadSet::addQuad() {
    if (!editable || quads.size() >= kMaxQuads) return nullptr;
    Quad* quad = new Quad(this);
    quads.push_back(quad);
    return quad;
}

Quad* QuadSet::getQuad(uint32_t index) {
    return editable ? const_cast<Quad*>(quadAt(index)) : nullptr;
}

const Quad* QuadSet::quadAt(uint32_t index) const {
    if (index >= quads.size()) return nullptr;
    auto it = quads.begin();
    std::advance(it, index);
    return *it;
}

void QuadSet::clearQuads() {
    for (Quad* quad : quads) delete quad;
    quads.clear();
}

bool QuadSet::loadTexture(const std::string& path) {
    Image image;
    uint32_t result = image.LoadPNG_forcePowerOfTwo(path);
    if (result == kImageUnreadable) result = image.LoadTGA(path);
    if (result != kImageLoaded) {
        std::cout << "Could not load image: " << path << "\n" << std::flush;
        return false;
    }
    return setTexture(image);
}

bool QuadSet::setTexture(const Image& image) {
    const int32_t bytesPerPixel = image.getBpp() / 8;
    if ((bytesPerPixel != 3 && bytesPerPixel != 4) || !image.getPixels()) {
        logWarning("QEL::QuadSet::setTexture", "No texture format for a ", image.getBpp(),
                   " bpp image; the texture stays as it was.");
        return false;
    }
    glEnable(GL_TEXTURE_2D);
    if (hasTexture) {
        glDeleteTextures(1, &textureName);
        hasTexture = false;
        textureHasAlpha = false;
    }
    glGenTextures(1, &textureName);
    glBindTexture(GL_TEXTURE_2D, textureName);
    const GLenum format = bytesPerPixel == 4 ? GL_RGBA : GL_RGB;
    // Rows are packed without padding: an RGB row of width 2 is 6 bytes, not 8.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), image.getWidth(), image.getHeight(), 0, format,
                 GL_UNSIGNED_BYTE, image.getPixels());
    textureHasAlpha = bytesPerPixel == 4;
    hasTexture = true;
    textureFilter = 0;  // a new texture object starts with OpenGL's default filters
    textureWidth = static_cast<float>(image.getWidth());
    textureHeight = static_cast<float>(image.getHeight());
    findSeenTexels(image);
    return true;
}

// A linear sample at u (texel units, centres at i + 0.5) reads texels floor(u - 0.5) and the one
// after: texels x0 to x1 reach samples in [x0 - 0.5, x1 + 1.5). One more texel each side is
// margin. The texture repeats, so texels near an edge reach the far side: an axis with seen texels
// that close to an edge is not limited.
void QuadSet::findSeenTexels(const Image& image) {
    const int32_t w = image.getWidth(), h = image.getHeight();
    seenLimited = false;
    if (!textureHasAlpha) return;
    int32_t x0 = w, y0 = h, x1 = -1, y1 = -1;
    const uint8_t* pixels = image.getPixels();
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * w * 4;
        for (int32_t x = 0; x < w; ++x) {
            if (row[x * 4 + 3] == 0) continue;
            x0 = std::min(x0, x);
            x1 = std::max(x1, x);
            y0 = std::min(y0, y);
            y1 = std::max(y1, y);
        }
    }
    if (x1 < 0) {  // fully transparent: nothing shows
        seenX0 = seenY0 = seenX1 = seenY1 = 0;
        seenLimited = true;
        return;
    }
    const float unlimited = 1e30f;
    const bool limitX = x0 >= 2 && x1 <= w - 3, limitY = y0 >= 2 && y1 <= h - 3;
    seenX0 = limitX ? x0 - 1.0f : -unlimited;
    seenX1 = limitX ? x1 + 2.0f : unlimited;
    seenY0 = limitY ? y0 - 1.0f : -unlimited;
    seenY1 = limitY ? y1 + 2.0f : unlimited;
    seenLimited = limitX || limitY;
}

void QuadSet::resizeArrays(uint32_t count) {
    vertices.assign(static_cast<size_t>(count) * kVerticesPerQuad * 3, 0.0f);
    texCoords.assign(static_cast<size_t>(count) * kVerticesPerQuad * 2, 0.0f);
    colors.assign(static_cast<size_t>(count) * kVerticesPerQuad * 4, 0.0f);
    indices.assign(static_cast<size_t>(count) * kIndicesPerQuad, 0);
    shows.assign(count, 0);
    drawnIndices.reserve(indices.size());  // draws that leave quads out never allocate
    allocatedQuads = count;
}

// Corners are placed and rotated in pixels (y up) so that a turned quad keeps its proportions on
// a screen that is not square, then converted to device units.
void QuadSet::writeQuad(const Quad& quad, uint32_t index) {
    const float W = screenWidth, H = screenHeight;
    const FloatCoords& p = quad.position;
    const float left = W * (p.x + 1) / 2, right = W * (p.x + 2 * p.w + 1) / 2;
    const float top = H * (p.y + 1) / 2, bottom = H * (p.y - 2 * p.h + 1) / 2;
    const float cx = W * (p.x + p.w + 1) / 2, cy = H * (p.y - p.h + 1) / 2;
    const float cornerX[4] = {left, right, right, left};
    const float cornerY[4] = {bottom, bottom, top, top};

    float c = 1, s = 0;
    if (quad.angle != 0) {
        const float theta = quad.angle * kPi / 180.0f;
        c = std::cos(theta);
        s = std::sin(theta);
    }
    const uint32_t base = index * kVerticesPerQuad;
    float* v = &vertices[base * 3];
    float minX = 1, maxX = -1, minY = 1, maxY = -1;
    for (int k = 0; k < 4; ++k) {
        const float dx = cornerX[k] - cx, dy = cornerY[k] - cy;
        v[k * 3 + 0] = (cx + c * dx - s * dy) / W * 2 - 1;
        v[k * 3 + 1] = (cy + s * dx + c * dy) / H * 2 - 1;
        v[k * 3 + 2] = 0;
        minX = std::min(minX, v[k * 3]);
        maxX = std::max(maxX, v[k * 3]);
        minY = std::min(minY, v[k * 3 + 1]);
        maxY = std::max(maxY, v[k * 3 + 1]);
    }
    // A quad that reaches no further than the screen's edge covers no pixel centre.
    uint8_t flags = (minX < 1 && maxX > -1 && minY < 1 && maxY > -1) ? kOnScreen : 0;
    for (const Color& corner : quad.colors) {
        if (corner.a != 0) flags |= kNotTransparent;
    }
    shows[index] = flags;

    const FloatCoords& t = quad.textureRect;
    float* tc = &texCoords[base * 2];
    tc[0] = t.x;       tc[1] = t.y;
    tc[2] = t.x + t.w; tc[3] = t.y;
    tc[4] = t.x + t.w; tc[5] = t.y + t.h;
    tc[6] = t.x;       tc[7] = t.y + t.h;

    float* col = &colors[base * 4];
    for (int k = 0; k < 4; ++k) {
        col[k * 4 + 0] = quad.colors[k].r;
        col[k * 4 + 1] = quad.colors[k].g;
        col[k * 4 + 2] = quad.colors[k].b;
        col[k * 4 + 3] = quad.colors[k].a;
    }

    uint16_t* idx = &indices[index * kIndicesPerQuad];
    const uint16_t b = static_cast<uint16_t>(base);
    idx[0] = b;
    idx[1] = static_cast<uint16_t>(b + 1);
    idx[2] = static_cast<uint16_t>(b + 3);
    idx[3] = static_cast<uint16_t>(b + 1);
    idx[4] = static_cast<uint16_t>(b + 2);
    idx[5] = static_cast<uint16_t>(b + 3);
}

void QuadSet::rebuild() {
    const uint32_t count = quadCount();
    if (count != allocatedQuads || indices.size() != static_cast<size_t>(count) * kIndicesPerQuad) resizeArrays(count);
    uint32_t index = 0;
    for (const Quad* quad : quads) writeQuad(*quad, index++);
    editable = false;
}

BlendMode blendModeFromNumber(int32_t number) {
    return number >= 1 && number <= 4 ? static_cast<BlendMode>(number) : BlendMode::keep;
}

void QuadSet::draw(BlendMode blendMode) {
    drawWithFilter(blendMode, filterMode == kFilterNearest ? GL_NEAREST : GL_LINEAR);
}

void QuadSet::drawPixelAligned(BlendMode blendMode) {
    const bool aligned = viewportIsScreen() && screenWidth == kScreenWidth && screenHeight == kScreenHeight;
    drawWithFilter(blendMode, (aligned || filterMode == kFilterNearest) ? GL_NEAREST : GL_LINEAR);
}

// Alpha blending leaves the frame buffer exactly as it was under a fragment of alpha 0, so fully
// transparent quads (spent rounds, a blood layer faded out) are left out of alpha-blended draws.
const uint16_t* QuadSet::shownIndices(BlendMode blendMode, size_t& count) {
    const uint8_t needed = blendMode == BlendMode::alpha ? (kOnScreen | kNotTransparent) : kOnScreen;
    const size_t quadCount = indices.size() / kIndicesPerQuad;
    size_t shown = 0;
    for (size_t i = 0; i < quadCount; ++i) shown += (shows[i] & needed) == needed;
    if (shown == quadCount) {
        count = indices.size();
        return indices.data();
    }
    drawnIndices.clear();
    for (size_t i = 0; i < quadCount; ++i) {
        if ((shows[i] & needed) != needed) continue;
        const uint16_t* quadIndices = &indices[i * kIndicesPerQuad];
        drawnIndices.insert(drawnIndices.end(), quadIndices, quadIndices + kIndicesPerQuad);
    }
    count = drawnIndices.size();
    return drawnIndices.data();
}

// Filters belong to the texture object: they are set only when they change.
void QuadSet::applyFilter(int32_t filter) {
    if (textureFilter == filter) return;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    textureFilter = filter;
}

void QuadSet::drawWithFilter(BlendMode blendMode, int32_t filter) {
    switch (blendMode) {
        case BlendMode::opaque: glDisable(GL_BLEND); break;
        case BlendMode::alpha: glEnable(GL_BLEND); glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); break;
        case BlendMode::additive: glEnable(GL_BLEND); glBlendFunc(GL_ONE, GL_ONE); break;
        case BlendMode::multiply: glEnable(GL_BLEND); glBlendFunc(GL_DST_COLOR, GL_ZERO); break;
        case BlendMode::keep: break;
    }
    // The arrays always match the quads as last rebuilt; a set that was never rebuilt draws nothing.
    size_t indexCount = 0;
    const uint16_t* drawn = shownIndices(blendMode, indexCount);
    if (indexCount == 0) return;
    const bool scissored = blendMode == BlendMode::alpha && hasTexture && seenLimited;
    if (scissored && !scissorToSeenTexels(drawn, indexCount)) return;

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, 0);
    switch (screenMirrorMode) {
        case MirrorMode::leftRight: glScalef(-1, 1, 1); break;
        case MirrorMode::topBottom: glScalef(1, -1, 1); break;
        case MirrorMode::both: glScalef(-1, -1, 1); break;
        case MirrorMode::none: break;
    }
    glDisable(GL_DEPTH_TEST);

    if (hasTexture) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, textureName);
        applyFilter(filter);
    } else {
        glDisable(GL_TEXTURE_2D);
    }

    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices.data());
    if (hasTexture) {
        glTexCoordPointer(2, GL_FLOAT, 0, texCoords.data());
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glColorPointer(4, GL_FLOAT, 0, colors.data());
    glEnableClientState(GL_COLOR_ARRAY);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indexCount), GL_UNSIGNED_SHORT, drawn);

    glDisableClientState(GL_VERTEX_ARRAY);
    if (hasTexture) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    if (scissored) glDisable(GL_SCISSOR_TEST);
}

// Each quad is a parallelogram whose texture coordinates run linearly from corner 0 along the edges
// to corners 1 and 3: the part of it that samples the seen texels is the parallelogram of the
// matching parameter ranges. The box round those parts, mirrored as draw mirrors and widened by a
// pixel, is the scissor.
bool QuadSet::scissorToSeenTexels(const uint16_t* drawn, size_t count) {
    float minX = 1e30f, minY = 1e30f, maxX = -1e30f, maxY = -1e30f;
    // The parameter range [from, to] of one edge (texel units from `start` over `extent`, in a
    // texture of `size` texels) that samples the seen texels; false when none does. An edge that
    // reaches beyond the texture meets its repeats and is taken whole.
    auto range = [](float start, float extent, float size, float seen0, float seen1, float& from, float& to) {
        from = 0;
        to = 1;
        const float end = start + extent;
        if (std::min(start, end) < 0 || std::max(start, end) > size) return true;
        if (extent == 0) return start >= seen0 && start <= seen1;
        from = std::max((seen0 - start) / extent, 0.0f);
        to = std::min((seen1 - start) / extent, 1.0f);
        if (extent < 0) {
            from = std::max((seen1 - start) / extent, 0.0f);
            to = std::min((seen0 - start) / extent, 1.0f);
        }
        return from <= to;
    };
    for (size_t i = 0; i < count; i += kIndicesPerQuad) {
        const uint32_t base = drawn[i];  // the quad's first vertex
        const float* v = &vertices[base * 3];
        const float* tc = &texCoords[base * 2];
        float a0, a1, b0, b1;
        if (!range(tc[0] * textureWidth, (tc[2] - tc[0]) * textureWidth, textureWidth, seenX0, seenX1, a0, a1) ||
            !range(tc[1] * textureHeight, (tc[7] - tc[1]) * textureHeight, textureHeight, seenY0, seenY1, b0, b1)) {
            continue;
        }
        for (float a : {a0, a1}) {
            for (float b : {b0, b1}) {
                const float x = v[0] + a * (v[3] - v[0]) + b * (v[9] - v[0]);
                const float y = v[1] + a * (v[4] - v[1]) + b * (v[10] - v[1]);
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
        }
    }
    if (minX > maxX) return false;
    if (screenMirrorMode == MirrorMode::leftRight || screenMirrorMode == MirrorMode::both) {
        const float left = -maxX;
        maxX = -minX;
        minX = left;
    }
    if (screenMirrorMode == MirrorMode::topBottom || screenMirrorMode == MirrorMode::both) {
        const float bottom = -maxY;
        maxY = -minY;
        minY = bottom;
    }
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const auto pixel = [](float device, GLint origin, GLint size) { return origin + (device + 1) * 0.5f * size; };
    const GLint left = std::max(static_cast<GLint>(std::floor(pixel(minX, viewport[0], viewport[2]))) - 1, viewport[0]);
    const GLint bottom = std::max(static_cast<GLint>(std::floor(pixel(minY, viewport[1], viewport[3]))) - 1, viewport[1]);
    const GLint right = std::min(static_cast<GLint>(std::ceil(pixel(maxX, viewport[0], viewport[2]))) + 1,
                                 viewport[0] + viewport[2]);
    const GLint top = std::min(static_cast<GLint>(std::ceil(pixel(maxY, viewport[1], viewport[3]))) + 1,
                               viewport[1] + viewport[3]);
    if (left >= right || bottom >= top) return false;
    glScissor(left, bottom, right - left, top - bottom);
    glEnable(GL_SCISSOR_TEST);
    return true;
}

}  // namespace QEL
