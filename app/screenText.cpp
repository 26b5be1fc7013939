#include "app/screenText.h"

#include "render/screen.h"

#include <SDL/SDL_ttf.h>

#include <algorithm>

namespace QEL {

namespace {

constexpr int32_t kPointSize = 10;  // the help page fits the window at this size
constexpr int32_t kMargin = 4;  // pixels between the badge and the window's edges

}  // namespace

screenText::screenText() : font(TextFont::open(kPointSize)), help(font.get()), badge(font.get()), notice(font.get()) {}

void screenText::setHelp(const std::string& text) {
    dirty = dirty || text != help.text();
    help.setText(text);
}

namespace {

// The page is drawn in the middle of the screen.
int32_t pageLeft(const TextPanel& page) { return (kScreenWidth - page.width()) / 2; }
int32_t pageTop(const TextPanel& page) { return (kScreenHeight - page.height()) / 2; }

}  // namespace

// One line less than the screen's height holds leaves room for the box's padding.
int32_t screenText::helpPageLines() const {
    return font ? std::max(1, kScreenHeight / TTF_FontLineSkip(font->handle()) - 1) : 1;
}

// The box's padding is the same above the first line as below the last.
int32_t screenText::helpLineAt(int32_t x, int32_t y) const {
    if (!font || !help.visible() || x < pageLeft(help) || x >= pageLeft(help) + help.width()) return -1;
    const int32_t lineHeight = TTF_FontLineSkip(font->handle());
    const int32_t count = static_cast<int32_t>(std::count(help.text().begin(), help.text().end(), '\n')) + 1;
    const int32_t padding = (help.height() - count * lineHeight) / 2;
    const int32_t offset = y - pageTop(help) - padding;
    return offset < 0 || offset >= count * lineHeight ? -1 : offset / lineHeight;
}

void screenText::setNetworkBadge(TeamMode mode, int32_t peers, const std::string& room, int32_t refused,
                                 int32_t dropped) {
    std::string text;
    const std::string dot = " \xc2\xb7 ";
    if (mode != TeamMode::offline) {
        text = room.empty() ? std::string() : "room " + room + dot;
        text += mode == TeamMode::openPlay ? "open play" : "team " + std::to_string(modeNumber(mode) - 1);
        text += dot + std::to_string(peers) + " connected";
        if (refused > 0) text += dot + std::to_string(refused) + " refused";
        if (dropped > 0) text += dot + std::to_string(dropped) + " dropped";
    }
    dirty = dirty || text != badge.text();
    badge.setText(text);
    placeNotice();
}

void screenText::setNotice(const std::string& text) {
    dirty = dirty || text != notice.text();
    notice.setText(text);
    noticeTimed = false;
    placeNotice();
}

void screenText::keepClear(std::vector<IntCoords> rectangles) {
    clearOf = std::move(rectangles);
    placeNotice();
    dirty = true;
}

void screenText::reserve(const IntCoords& area) {
    if (area.x == reserved.x && area.y == reserved.y && area.w == reserved.w && area.h == reserved.h) return;
    reserved = area;
    placeNotice();
    dirty = true;
}

namespace {

int32_t overlap(const IntCoords& a, const IntCoords& b) {
    const int32_t w = std::min(a.x + a.w, b.x + b.w) - std::max(a.x, b.x);
    const int32_t h = std::min(a.y + a.h, b.y + b.h) - std::max(a.y, b.y);
    return w > 0 && h > 0 ? w * h : 0;
}

}  // namespace

void screenText::placeNotice() {
    std::vector<IntCoords> kept = clearOf;
    kept.emplace_back(kScreenWidth - badge.width() - kMargin, kMargin, badge.width(), badge.height());
    kept.push_back(reserved);
    std::vector<int32_t> lefts{kMargin, kScreenWidth - notice.width() - kMargin};
    for (const IntCoords& r : kept) lefts.push_back(r.x + r.w + 1);
    std::sort(lefts.begin(), lefts.end());
    noticeX = kMargin;
    noticeY = kScreenHeight - notice.height() - kMargin;
    int32_t least = -1;
    for (int32_t top : {kScreenHeight - notice.height() - kMargin, kMargin}) {
        for (int32_t left : lefts) {
            if (left < kMargin || left + notice.width() > kScreenWidth - kMargin) continue;
            const IntCoords box(left, top, notice.width(), notice.height());
            int32_t covered = 0;
            for (const IntCoords& r : kept) covered += overlap(box, r);
            if (least >= 0 && covered >= least) continue;
            least = covered;
            noticeX = left;
            noticeY = top;
            if (covered == 0) return;
        }
    }
}

void screenText::setNotice(const std::string& text, uint32_t untilMs) {
    setNotice(text);
    noticeTimed = true;
    noticeUntil = untilMs;
}

void screenText::expire(uint32_t nowMs) {
    if (noticeTimed && int32_t(nowMs - noticeUntil) >= 0) setNotice(std::string());
}

void screenText::draw() {
    notice.draw(noticeX, noticeY);
    badge.draw(kScreenWidth - badge.width() - kMargin, kMargin);
    help.draw(pageLeft(help), pageTop(help));
    dirty = false;
}

}  // namespace QEL
