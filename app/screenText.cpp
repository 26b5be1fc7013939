#include "app/screenText.h"

#include "render/screen.h"

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

void screenText::setNetworkBadge(int32_t mode, int32_t peers, const std::string& room, int32_t refused,
                                 int32_t dropped) {
    std::string text;
    const std::string dot = " \xc2\xb7 ";
    if (mode != 1) {
        text = room.empty() ? std::string() : "room " + room + dot;
        text += mode == 0 ? "open play" : "team " + std::to_string(mode - 1);
        text += dot + std::to_string(peers) + " connected";
        if (refused > 0) text += dot + std::to_string(refused) + " refused";
        if (dropped > 0) text += dot + std::to_string(dropped) + " dropped";
    }
    dirty = dirty || text != badge.text();
    badge.setText(text);
}

void screenText::setNotice(const std::string& text) {
    dirty = dirty || text != notice.text();
    notice.setText(text);
    noticeTimed = false;
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
    notice.draw(kMargin, kScreenHeight - notice.height() - kMargin);
    badge.draw(kScreenWidth - badge.width() - kMargin, kMargin);
    help.draw((kScreenWidth - help.width()) / 2, (kScreenHeight - help.height()) / 2);
    dirty = false;
}

}  // namespace QEL
