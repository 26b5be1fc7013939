// What the game writes over the picture: F12's page (the weapon chooser or the keys) in the middle, while networking is
// on a badge in the top right corner with the game mode and the number of connected copies, and
// a notice when a weapon was not loaded, along the bottom unless what the weapon shows there
// (its rounds, the fire-mode switch) would be hidden.
// Owned by cApp, which draws it over every picture; without the font it shows nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/textPanel.h"
#include "base/teamMode.h"
#include "render/types.h"

namespace QEL {

class screenText {
public:
    screenText();

    // An empty text hides the page.
    void setHelp(const std::string& text);
    bool helpShown() const { return !help.text().empty(); }
    // How many lines a page can show; the line of the page at screen pixel (x, y), origin top
    // left, or -1 off the page's lines.
    int32_t helpPageLines() const;
    int32_t helpLineAt(int32_t x, int32_t y) const;
    // The badge for multiplayer mode `mode` (1: networking off, no badge) and `peers` copies.
    // In a named `room` the badge starts with it; links refused and shots dropped follow the count.
    void setNetworkBadge(TeamMode mode, int32_t peers, const std::string& room = std::string(), int32_t refused = 0,
                         int32_t dropped = 0);
    // A notice shown until it is replaced, or until `untilMs` on the program clock; an empty
    // text hides it.
    void setNotice(const std::string& text);
    void setNotice(const std::string& text, uint32_t untilMs);
    // The rectangles (pixels, y down) the notice keeps clear of (cAssetMgr::hudRectangles).
    void keepClear(std::vector<IntCoords> rectangles);
    // Another text's area (pixels, y down), which the notice keeps clear of too.
    void reserve(const IntCoords& area);
    // Hides a notice whose time is up.
    void expire(uint32_t nowMs);

    // Whether the text changed since the last picture, which then has to be drawn anew.
    bool changed() const { return dirty; }
    void draw();

private:
    // Where the notice goes: along the bottom, else the top, at the leftmost place clear of the
    // kept rectangles and the badge; where none is clear, where it covers least.
    void placeNotice();

    std::unique_ptr<TextFont> font;
    TextPanel help;
    TextPanel badge;
    TextPanel notice;
    bool noticeTimed = false;
    uint32_t noticeUntil = 0;
    bool dirty = false;
    std::vector<IntCoords> clearOf;
    IntCoords reserved{0, 0, 0, 0};
    int32_t noticeX = 0;
    int32_t noticeY = 0;
};

}  // namespace QEL
