#include "render/textPanel.h"

#include "render/screen.h"

#include <SDL/SDL_ttf.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace QEL {

namespace {

constexpr const char* kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
constexpr int32_t kPadding = 4;        // pixels between the box's edge and its text
constexpr uint8_t kBoxOpacity = 190;   // the box darkens what is behind it without hiding it

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

// Copies a line's coverage into the RGBA box (rows top first), white over the box colour.
void paintLine(SDL_Surface* line, std::vector<uint8_t>& box, int32_t boxWidth, int32_t top) {
    SDL_LockSurface(line);
    for (int32_t y = 0; y < line->h; ++y) {
        const auto* row = static_cast<const uint8_t*>(line->pixels) + y * line->pitch;
        for (int32_t x = 0; x < line->w && kPadding + x < boxWidth; ++x) {
            Uint8 r, g, b, a;
            SDL_GetRGBA(reinterpret_cast<const Uint32*>(row)[x], line->format, &r, &g, &b, &a);
            uint8_t* pixel = &box[((top + y) * boxWidth + kPadding + x) * 4];
            for (int c = 0; c < 3; ++c) pixel[c] = uint8_t(pixel[c] + (255 - pixel[c]) * a / 255);
            pixel[3] = uint8_t(std::max<int>(pixel[3], a));
        }
    }
    SDL_UnlockSurface(line);
}

}  // namespace

std::unique_ptr<TextFont> TextFont::open(int32_t pointSize) {
    if (!TTF_WasInit() && TTF_Init() < 0) {
        std::fprintf(stderr, "kablix: no text on screen: %s\n", TTF_GetError());
        return nullptr;
    }
    TTF_Font* font = TTF_OpenFont(kFontPath, pointSize);
    if (!font) {
        std::fprintf(stderr, "kablix: no text on screen: %s (install fonts-dejavu-core)\n", TTF_GetError());
        return nullptr;
    }
    return std::unique_ptr<TextFont>(new TextFont(font));
}

TextFont::~TextFont() { TTF_CloseFont(font); }

TextPanel::TextPanel(const TextFont* font) : font(font), quads(kScreenWidth, kScreenHeight) {}

void TextPanel::setText(const std::string& text) {
    if (text == shown) return;
    shown = text;
    quads.unlock();
    quads.clearQuads();
    placedX = placedY = -1;  // a new quad is placed at the next draw
    if (!shown.empty() && font && !render()) quads.clearQuads();
    quads.rebuild();
}

bool TextPanel::render() {
    const std::vector<std::string> lines = linesOf(shown);
    const int32_t lineHeight = TTF_FontLineSkip(font->handle());
    int32_t textWidth = 0;
    for (const std::string& line : lines) {
        int w = 0, h = 0;
        if (!line.empty() && TTF_SizeUTF8(font->handle(), line.c_str(), &w, &h) == 0) textWidth = std::max(textWidth, w);
    }
    boxWidth = std::min<int32_t>(textWidth + 2 * kPadding, kScreenWidth);
    boxHeight = std::min<int32_t>(int32_t(lines.size()) * lineHeight + 2 * kPadding, kScreenHeight);
    std::vector<uint8_t> box(size_t(boxWidth) * boxHeight * 4, 0);
    for (size_t i = 3; i < box.size(); i += 4) box[i] = kBoxOpacity;
    const SDL_Color white{255, 255, 255, 0};
    for (size_t i = 0; i < lines.size(); ++i) {
        const int32_t top = kPadding + int32_t(i) * lineHeight;
        if (lines[i].empty() || top + lineHeight > boxHeight) continue;
        SDL_Surface* line = TTF_RenderUTF8_Blended(font->handle(), lines[i].c_str(), white);
        if (!line) continue;
        paintLine(line, box, boxWidth, top);
        SDL_FreeSurface(line);
    }
    // The texture is padded to powers of two and stored bottom row first.
    const int32_t texW = powerOfTwoAtLeast2(uint32_t(boxWidth)), texH = powerOfTwoAtLeast2(uint32_t(boxHeight));
    std::vector<uint8_t> texture(size_t(texW) * texH * 4, 0);
    for (int32_t y = 0; y < boxHeight; ++y)
        std::copy_n(&box[size_t(y) * boxWidth * 4], boxWidth * 4, &texture[size_t(boxHeight - 1 - y) * texW * 4]);
    Image image;
    if (!image.Load(texW, texH, 32, texture.data()) || !quads.setTexture(image)) return false;
    Quad* quad = quads.addQuad();
    if (!quad) return false;
    quad->setAllColors(Color{1, 1, 1, 1});
    quad->setTextureRect(FloatCoords{0, 0, float(boxWidth), float(boxHeight)});
    return true;
}

void TextPanel::draw(int32_t x, int32_t y) {
    if (!visible()) return;
    if (x != placedX || y != placedY) {  // the quad is rebuilt only when the panel moves
        placedX = x;
        placedY = y;
        quads.unlock();
        quads.getQuad(0)->position = FloatCoords{pixelToDeviceX(float(x)), pixelToDeviceY(float(y)),
                                                 widthFraction(float(boxWidth)), heightFraction(float(boxHeight))};
        quads.rebuild();
    }
    const MirrorMode mirror = screenMirrorMode;
    screenMirrorMode = MirrorMode::none;
    quads.draw(BlendMode::alpha);
    screenMirrorMode = mirror;
}

}  // namespace QEL
