// Readers for the generated demo pack, used by the pack tests: decoded pictures, the weapon
// catalogue's weapons and parsed XML files, all found through the game's ../assets naming rule.
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
};

// Decodes ../assets/<name>.png; false (with a gtest failure message) when it cannot.
bool loadPicture(const std::string& name, Picture& out);

// The distinct weapon names of the catalogue in the working directory, in file order.
std::vector<std::string> catalogueWeapons();
// The value of one catalogue key, empty when the key is missing.
std::string catalogueValue(const std::string& key);

// Parses ../assets/<name>.<extension>; null when it cannot.
std::unique_ptr<TiXmlDocument> loadXml(const std::string& name, const std::string& extension = "xml");

// Every element named `name` below `parent`, depth first.
void collect(TiXmlElement* parent, const char* name, std::vector<TiXmlElement*>& out);
int intAttribute(TiXmlElement* element, const char* name, int fallback);
std::string text(TiXmlElement* element);

}  // namespace packtest
}  // namespace QEL
