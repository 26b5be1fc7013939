// QuadSet: a batch of textured, coloured, rotatable rectangles ("quads") that share one texture
// and one glDrawElements call. The set owns its quads, its arrays and its texture object.
// Per frame: rebuild(), draw(mode), unlock(); quads are added, fetched and changed only while the
// set is editable (between unlock() and the next rebuild()).
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "render/Image.h"
#include "render/types.h"

namespace QEL {

// How all drawing is mirrored; the numbers are the ones the key bindings and the trace use.
enum class MirrorMode : int32_t { none = 0, leftRight = 1, topBottom = 2, both = 3 };
// Mirrors all drawing. Set by the key bindings.
extern MirrorMode screenMirrorMode;

// Blend modes for QuadSet::draw; `keep` leaves the blend state as it is.
enum class BlendMode : int32_t { keep = 0, opaque = 1, alpha = 2, additive = 3, multiply = 4 };
// The mode a file's blend number names: 1 to 4 as above, any other number `keep`.
BlendMode blendModeFromNumber(int32_t number);

// Clears the frame buffer to the clear colour. Nothing is drawn with depth, so depth is left alone.
void clearScreen();
// Whether the viewport is the whole 568 × 320 screen, so that a full-screen quad covers every pixel
// and a pixel-sized texel falls on each pixel centre.
bool viewportIsScreen();

class QuadSet;

// One rectangle of a set, owned by the set.
class Quad {
public:
    explicit Quad(QuadSet* ownerSet);

    void setAllColors(const Color& color);
    // `pixelRect` in texture pixels; stored in texture units (divided by the padded texture size).
    void setTextureRect(const FloatCoords& pixelRect);

    // x, y: top-left corner in device units (-1 left/bottom, +1 right/top); w, h: fractions of the
    // screen width and height (the quad covers 2w × 2h device units).
    FloatCoords position{0, 0, 0, 0};
    // x, y: (s, t) of the bottom-left corner; w, h: extent. t = 0 is the bottom of the picture.
    FloatCoords textureRect{0, 0, 0, 0};
    float angle = 0;  // degrees, counter-clockwise on screen, about the quad's centre
    Color colors[4];  // bottom-left, bottom-right, top-right, top-left
    QuadSet* owner;
};

class QuadSet {
public:
    // 16-bit indices bound a set to this many quads; addQuad refuses more.
    static constexpr uint32_t kMaxQuads = 16384;
    enum FilterMode : int32_t { kFilterLinear = 1, kFilterNearest = 2 };

    QuadSet(int32_t screenW, int32_t screenH);
    virtual ~QuadSet();
    QuadSet(const QuadSet&) = delete;
    QuadSet& operator=(const QuadSet&) = delete;

    void unlock();
    // Null while the set is built, or when it already holds kMaxQuads quads.
    Quad* addQuad();
    // Null while built or past the end.
    Quad* getQuad(uint32_t index);
    // Quad `index` to read, built or not; null past the end.
    const Quad* quadAt(uint32_t index) const;
    void clearQuads();
    uint32_t quadCount() const { return static_cast<uint32_t>(quads.size()); }
    bool isEditable() const { return editable; }

    // PNG first, TGA when the PNG could not be read; on failure prints "Could not load image: "
    // and keeps the previous texture.
    bool loadTexture(const std::string& path);
    // Uploads an RGB or RGBA image (rows tightly packed, bottom row first). Any other pixel size
    // is refused with a warning and the previous texture stays.
    bool setTexture(const Image& image);

    void rebuild();
    // Draws the quads as last rebuilt. Quads that cannot change a pixel are left out: those wholly
    // off screen, and under alpha blending those whose four corners are fully transparent; under
    // alpha blending the draw is also kept (scissored) to where the texture is not fully
    // transparent. The blend state is set by the mode even when nothing is left to draw.
    void draw(BlendMode blendMode);
    // As draw, for a set whose quads map texels one to one onto the pixels of the full-size
    // screen (the background): with the viewport at the screen size each pixel centre falls on a
    // texel centre, where nearest sampling reads exactly what linear filtering gives, at a
    // fraction of its cost.
    void drawPixelAligned(BlendMode blendMode);

    float getScreenWidth() const { return screenWidth; }
    float getScreenHeight() const { return screenHeight; }
    float getTextureWidth() const { return textureWidth; }
    float getTextureHeight() const { return textureHeight; }
    bool getHasTexture() const { return hasTexture; }
    bool getTextureHasAlpha() const { return textureHasAlpha; }
    uint32_t getTextureName() const { return textureName; }

    // Arrays as last rebuilt: 3 floats per vertex, 2 per texture coordinate, 4 per colour,
    // 4 vertices and 6 indices per quad.
    const float* getVertices() const { return vertices.data(); }
    const float* getTexCoords() const { return texCoords.data(); }
    const float* getColors() const { return colors.data(); }
    const uint16_t* getIndices() const { return indices.data(); }

private:
    // What rebuild finds out about each quad, for draw.
    enum QuadShows : uint8_t { kOnScreen = 1, kNotTransparent = 2 };

    void resizeArrays(uint32_t count);
    void writeQuad(const Quad& quad, uint32_t index);
    void drawWithFilter(BlendMode blendMode, int32_t filter);
    void findSeenTexels(const Image& image);
    // Scissors an alpha-blended draw to the pixels that can sample a texel of some opacity; false
    // (and no scissor) when no pixel can.
    bool scissorToSeenTexels(const uint16_t* drawn, size_t count);
    // Indices of the quads that can show (all of them without copying, when none is left out).
    const uint16_t* shownIndices(BlendMode blendMode, size_t& count);
    void applyFilter(int32_t filter);

    uint32_t allocatedQuads = 0;  // the quad count the arrays are sized for
    std::list<Quad*> quads;       // owned, drawn in list order
    bool editable = false;
    float screenWidth, screenHeight;
    float textureWidth = 0, textureHeight = 0;
    bool hasTexture = false;
    bool textureHasAlpha = false;
    std::vector<float> vertices;
    std::vector<uint16_t> indices;
    std::vector<float> texCoords;
    std::vector<float> colors;
    std::vector<uint8_t> shows;          // QuadShows bits per quad, as last rebuilt
    std::vector<uint16_t> drawnIndices;  // scratch for draws that leave quads out
    int32_t filterMode = kFilterLinear;
    uint32_t textureName = 0;
    int32_t textureFilter = 0;  // GL filter last set on the texture object; 0: none since its upload
    // Where a linearly filtered sample can meet a texel whose alpha is not 0, in texel units
    // (x0, y0)-(x1, y1); an axis on which the texture wraps such texels round is not limited.
    float seenX0 = 0, seenY0 = 0, seenX1 = 0, seenY1 = 0;
    bool seenLimited = false;  // the box above leaves part of the texture out
};

}  // namespace QEL
