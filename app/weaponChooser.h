// F12's weapon chooser: the packs of a listing and their weapons as the lines of a page, a
// selection, and the part of the list in view when it is longer than the page. Owned by the main
// loop together with the listing it shows; it takes nothing up itself.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/weaponListing.h"

namespace QEL {

class dataFileReader;

class weaponChooser {
public:
    // `keys`: the catalogue key of a weapon, shown beside its name where it has one.
    weaponChooser(weaponListing listing, std::map<std::string, std::string> keys);

    // Every weapon of the listing, in the order shown.
    const std::vector<std::string>& weapons() const { return all; }
    // The weapon `by` places (1 or -1) from `inHand`, round the ends; when `inHand` is not listed,
    // the first (or, going back, the last). Empty when nothing is listed.
    std::string step(const std::string& inHand, int32_t by) const;

    // A view of `rows` lines (at least 1) with `name` selected when it is listed.
    void show(int32_t rows, const std::string& name);
    // Moves the selection `by` weapons, stopping at the ends, and scrolls to keep it in view.
    void move(int32_t by);
    // Selects the weapon on line `line` of the view (0 the first); false when that line shows none.
    bool selectLine(int32_t line);
    // The selected weapon, empty when nothing is listed, and its place in the list (1 the first).
    std::string selected() const;
    size_t selectedPlace() const { return all.empty() ? 0 : selection + 1; }

    // The lines in view: pack headings, and weapons with their keys, `inHand` marked with "*",
    // the selection with ">".
    std::string view(const std::string& inHand) const;

private:
    struct Line {
        size_t pack;
        int32_t weapon;  // index into all; -1 for the pack's heading
    };
    void scrollToSelection();

    weaponListing listing;
    std::map<std::string, std::string> keys;
    std::vector<std::string> all;
    std::vector<Line> lines;
    std::vector<size_t> lineOf;  // by weapon
    size_t selection = 0;        // index into all
    size_t top = 0;              // the first line in view
    size_t rows = 1;
};

// The listing of the catalogue alone: the base folder with its weapons in key order, each once
// (a pack weapon the catalogue names is listed with its pack).
weaponListing catalogueListing(const dataFileReader& catalogue);
// The catalogue key of each weapon (the first key that names it).
std::map<std::string, std::string> catalogueKeys(const dataFileReader& catalogue);

}  // namespace QEL
