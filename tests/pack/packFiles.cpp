#include "tests/pack/packFiles.h"

#include <gtest/gtest.h>
#include <lodepng.h>

#include <algorithm>
#include <cstdlib>

#include "base/assetPath.h"
#include "base/dataFileReader.h"

namespace QEL {
namespace packtest {

const uint8_t* Picture::texel(unsigned x, unsigned yFromBottom) const {
    return &rgba[(static_cast<size_t>(height - 1 - yFromBottom) * width + x) * 4];
}

bool Picture::blackAtTheRim() const { return texel(0, 0)[0] + texel(0, 0)[1] + texel(0, 0)[2] < 12; }

bool loadPicture(const std::string& name, Picture& out) {
    unsigned error = lodepng::decode(out.rgba, out.width, out.height, assetPath(name, "png"));
    if (error) ADD_FAILURE() << assetPath(name, "png") << ": " << lodepng_error_text(error);
    return error == 0;
}

std::string catalogueValue(const std::string& key) {
    static dataFileReader catalogue(KABLIX_PLAY_DIR "/gunList.txt");
    return catalogue.getValue(key);
}

std::vector<std::string> catalogueWeapons() {
    std::vector<std::string> names;
    for (char key : std::string("0123456789abcdefghijklmnopqrstuvwxyz")) {
        std::string name = catalogueValue(std::string(1, key));
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return names;
}

std::unique_ptr<TiXmlDocument> loadXml(const std::string& name, const std::string& extension) {
    auto doc = std::make_unique<TiXmlDocument>(assetPath(name, extension).c_str());
    return doc->LoadFile() ? std::move(doc) : nullptr;
}

static void collect(TiXmlElement* parent, const char* name, std::vector<TiXmlElement*>& out) {
    for (TiXmlElement* e = parent ? parent->FirstChildElement() : nullptr; e; e = e->NextSiblingElement()) {
        if (e->ValueStr() == name) out.push_back(e);
        collect(e, name, out);
    }
}

std::vector<TiXmlElement*> all(TiXmlElement* parent, const char* name) {
    std::vector<TiXmlElement*> out;
    collect(parent, name, out);
    return out;
}

int intAttribute(TiXmlElement* element, const char* name, int fallback) {
    const char* value = element ? element->Attribute(name) : nullptr;
    return value ? std::atoi(value) : fallback;
}

std::string text(TiXmlElement* element) {
    const char* t = element ? element->GetText() : nullptr;
    return t ? t : "";
}

}  // namespace packtest
}  // namespace QEL
