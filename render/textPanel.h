// Text over the picture: the help page, the network badge, notices. A TextFont is the one open
// font (DejaVu Sans Mono through SDL_ttf) that its owner shares with its panels. A TextPanel is
// a block of lines in a dark, translucent box; its text is rendered into the panel's texture only
// when it changes, so drawing it costs one textured quad. Text is never mirrored.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "render/QuadSet.h"

typedef struct _TTF_Font TTF_Font;

namespace QEL {

class TextFont {
public:
    // The font at `pointSize`, or null (with one line on standard error) when SDL_ttf or the font
    // file is missing: the game then shows no text and goes on.
    static std::unique_ptr<TextFont> open(int32_t pointSize);
    ~TextFont();
    TextFont(const TextFont&) = delete;
    TextFont& operator=(const TextFont&) = delete;

    TTF_Font* handle() const { return font; }

private:
    explicit TextFont(TTF_Font* font) : font(font) {}
    TTF_Font* font;  // owned
};

class TextPanel {
public:
    // `font` is not owned and must outlive the panel; null makes a panel that draws nothing.
    explicit TextPanel(const TextFont* font);

    // Lines separated by '\n'; an empty text hides the panel.
    void setText(const std::string& text);
    const std::string& text() const { return shown; }
    bool visible() const { return !shown.empty() && quads.quadCount() > 0; }
    // Width and height of the box in screen pixels.
    int32_t width() const { return boxWidth; }
    int32_t height() const { return boxHeight; }

    // Draws the box with its top-left corner at screen pixel (x, y), origin top left.
    void draw(int32_t x, int32_t y);

private:
    bool render();

    const TextFont* font;
    std::string shown;
    QuadSet quads;
    int32_t boxWidth = 0;
    int32_t boxHeight = 0;
    int32_t placedX = -1;  // where the quad was last placed; -1 before it is
    int32_t placedY = -1;
};

}  // namespace QEL
