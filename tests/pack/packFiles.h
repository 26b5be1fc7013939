// Readers for the generated demo pack, used by the pack tests: decoded pictures, the weapon
// catalogue and parsed XML files, found through the game's ../assets naming rule.
#pragma once

#include <tinyxml.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace QEL {
namespace packtest {

// A decoded PNG, top row first, 8-bit RGBA.
struct Picture {
    unsigned width = 0, height = 0;
    std::vector<uint8_t> rgba;
    // The pixel at texture coordinates (x, y): x from the left, y counted from the bottom row.
    const uint8_t* texel(unsigned x, unsigned yFromBottom) const;
    // An added picture shows black where nothing should show: its corner must be black.
    bool blackAtTheRim() const;
};

// Decodes ../assets/<name>.png; false (with a gtest failure message) when it cannot.
bool loadPicture(const std::string& name, Picture& out);

// The value of one key of the pack's catalogue (an absolute path: tests may change directory).
std::string catalogueValue(const std::string& key);
// The distinct weapon names the catalogue's weapon keys name, in key order.
std::vector<std::string> catalogueWeapons();

// Parses ../assets/<name>.<extension>; null when it cannot.
std::unique_ptr<TiXmlDocument> loadXml(const std::string& name, const std::string& extension = "xml");

// Every element named `name` below `parent`, depth first.
std::vector<TiXmlElement*> all(TiXmlElement* parent, const char* name);
int intAttribute(TiXmlElement* element, const char* name, int fallback = -1);
std::string text(TiXmlElement* element);

}  // namespace packtest
}  // namespace QEL
