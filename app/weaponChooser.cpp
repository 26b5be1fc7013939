#include "app/weaponChooser.h"

#include "base/dataFileReader.h"

#include <algorithm>

namespace QEL {

namespace {

std::string heading(const packListing& pack) {
    if (pack.name.empty()) return "Kablix demo weapons";
    std::string text = (pack.title.empty() ? pack.name : pack.title) + " " + pack.version;
    return pack.author.empty() ? text : text + " by " + pack.author;
}

// A pack's weapon is shown under its heading by its own name, without the pack's.
std::string shortName(const std::string& weapon) { return weapon.substr(weapon.find('/') + 1); }

}  // namespace

weaponChooser::weaponChooser(weaponListing listing, std::map<std::string, std::string> keys)
    : listing(std::move(listing)), keys(std::move(keys)) {
    for (size_t p = 0; p < this->listing.size(); ++p) {
        lines.push_back({p, -1});
        for (const std::string& weapon : this->listing[p].weapons) {
            lineOf.push_back(lines.size());
            lines.push_back({p, static_cast<int32_t>(all.size())});
            all.push_back(weapon);
        }
    }
}

std::string weaponChooser::step(const std::string& inHand, int32_t by) const {
    if (all.empty()) return std::string();
    const auto found = std::find(all.begin(), all.end(), inHand);
    const int32_t count = static_cast<int32_t>(all.size());
    int32_t next = by > 0 ? 0 : count - 1;
    if (found != all.end()) next = ((static_cast<int32_t>(found - all.begin()) + by) % count + count) % count;
    return all[static_cast<size_t>(next)];
}

void weaponChooser::show(int32_t rowCount, const std::string& name) {
    rows = static_cast<size_t>(std::max(rowCount, 1));
    const auto found = std::find(all.begin(), all.end(), name);
    if (found != all.end()) selection = static_cast<size_t>(found - all.begin());
    scrollToSelection();
}

void weaponChooser::move(int32_t by) {
    if (all.empty()) return;
    const int64_t place = std::clamp<int64_t>(int64_t(selection) + by, 0, int64_t(all.size()) - 1);
    selection = static_cast<size_t>(place);
    scrollToSelection();
}

bool weaponChooser::selectLine(int32_t line) {
    if (line < 0 || size_t(line) >= rows || top + size_t(line) >= lines.size()) return false;
    const int32_t weapon = lines[top + size_t(line)].weapon;
    if (weapon < 0) return false;
    selection = static_cast<size_t>(weapon);
    return true;
}

std::string weaponChooser::selected() const { return all.empty() ? std::string() : all[selection]; }

// The selection stays in view, with its pack's heading when it is the pack's first weapon.
void weaponChooser::scrollToSelection() {
    top = std::min(top, lines.size() > rows ? lines.size() - rows : 0);
    if (all.empty()) return;
    const size_t line = lineOf[selection];
    const size_t first = rows > 1 && lines[line - 1].weapon < 0 ? line - 1 : line;
    if (first < top) top = first;
    if (line >= top + rows) top = line + 1 - rows;
}

std::string weaponChooser::view(const std::string& inHand) const {
    std::string text;
    for (size_t i = top; i < lines.size() && i < top + rows; ++i) {
        const Line& line = lines[i];
        if (!text.empty()) text += "\n";
        if (line.weapon < 0) {
            text += heading(listing[line.pack]);
            continue;
        }
        const std::string& weapon = all[size_t(line.weapon)];
        const auto key = keys.find(weapon);
        text += size_t(line.weapon) == selection ? "> " : "  ";
        text += (key == keys.end() ? std::string(" ") : key->second) + " " + shortName(weapon);
        if (weapon == inHand) text += " *";
    }
    return text;
}

weaponListing catalogueListing(const dataFileReader& catalogue) {
    packListing base;
    for (const std::string& key : catalogue.keyList()) {
        const std::string weapon = catalogue.getValue(key);
        // Shot (s…) and keypad (k…) entries name no weapon, and a pack's weapon is listed with its pack.
        if (key.size() != 1 || weapon.empty() || weapon.find('/') != std::string::npos) continue;
        if (std::find(base.weapons.begin(), base.weapons.end(), weapon) == base.weapons.end())
            base.weapons.push_back(weapon);
    }
    return {base};
}

std::map<std::string, std::string> catalogueKeys(const dataFileReader& catalogue) {
    std::map<std::string, std::string> keys;
    for (const std::string& key : catalogue.keyList()) {
        if (key.size() == 1 && !catalogue.getValue(key).empty()) keys.emplace(catalogue.getValue(key), key);
    }
    return keys;
}

}  // namespace QEL
