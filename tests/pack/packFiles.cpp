#include "tests/pack/packFiles.h"

#include <gtest/gtest.h>
#include <lodepng.h>

#include <algorithm>
#include <cstdlib>

#include "app/assetPath.h"
#include "app/dataFileReader.h"

namespace QEL {
namespace packtest {

const uint8_t* Picture::texel(unsigned x, unsigned yFromBottom) const {
    return &rgba[(static_cast<size_t>(height - 1 - yFromBottom) * width + x) * 4];
}

bool loadPicture(const std::string& name, Picture& out) {
    unsigned error = lodepng::decode(out.rgba, out.width, out.height, assetPath(name, "png"));
    if (error) {
        ADD_FAILURE() << assetPath(name, "png") << ": " << lodepng_error_text(error);
        return false;
    }
    return true;
}

static dataFileReader& catalogue() {
    static dataFileReader reader("gunList.txt");
    return reader;
}

std::string catalogueValue(const std::string& key) { return catalogue().getValue(key); }

std::vector<std::string> catalogueWeapons() {
    static const char* keys = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::vector<std::string> names;
    for (const char* k = keys; *k; ++k) {
        std::string name = catalogueValue(std::string(1, *k));
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return names;
}

std::unique_ptr<TiXmlDocument> loadXml(const std::string& name, const std::string& extension) {
    std::unique_ptr<TiXmlDocument> doc(new TiXmlDocument(assetPath(name, extension).c_str()));
    if (!doc->LoadFile()) return nullptr;
    return doc;
}

void collect(TiXmlElement* parent, const char* name, std::vector<TiXmlElement*>& out) {
    if (!parent) return;
    for (TiXmlElement* e = parent->FirstChildElement(); e; e = e->NextSiblingElement()) {
        if (e->ValueStr() == name) out.push_back(e);
        collect(e, name, out);
    }
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
