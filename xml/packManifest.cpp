#include "xml/packManifest.h"

#include <tinyxml.h>

#include <cstring>

namespace QEL {

namespace {

constexpr size_t kMaxNameChars = 24;
constexpr size_t kMaxTextChars = 80;  // title, version, author and license fit one line of a list

struct manifestAttribute {
    const char* name;
    bool required;
    std::string packManifest::*field;
};

constexpr manifestAttribute kAttributes[] = {
    {"name", true, &packManifest::name},       {"title", true, &packManifest::title},
    {"version", true, &packManifest::version}, {"author", false, &packManifest::author},
    {"license", false, &packManifest::license},
};

bool refuse(std::string& problem, const std::string& why) {
    problem = why;
    return false;
}

// Control characters would break the one line each pack is listed on.
bool printable(const std::string& text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7f) return false;
    return true;
}

const manifestAttribute* findAttribute(const char* name) {
    for (const manifestAttribute& attribute : kAttributes)
        if (std::strcmp(attribute.name, name) == 0) return &attribute;
    return nullptr;
}

}  // namespace

bool validPackName(const std::string& name) {
    if (name.empty() || name.size() > kMaxNameChars) return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_')) return false;
    return true;
}

bool readPackManifest(const std::string& text, packManifest& manifest, std::string& problem) {
    manifest = packManifest();
    TiXmlDocument document;
    document.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
    if (document.Error()) return refuse(problem, std::string("is not well-formed XML (") + document.ErrorDesc() + ")");
    const TiXmlElement* root = document.RootElement();
    if (!root || std::strcmp(root->Value(), "kablixPack") != 0) return refuse(problem, "has no <kablixPack> root element");
    for (const TiXmlAttribute* given = root->FirstAttribute(); given; given = given->Next()) {
        const manifestAttribute* attribute = findAttribute(given->Name());
        if (!attribute) return refuse(problem, std::string("has an unknown attribute '") + given->Name() + "'");
        manifest.*attribute->field = given->ValueStr();
    }
    for (const manifestAttribute& attribute : kAttributes) {
        const std::string& value = manifest.*attribute.field;
        if (attribute.required && value.empty())
            return refuse(problem, std::string("has no ") + attribute.name + " (<kablixPack " + attribute.name + "=\"...\">)");
        if (value.size() > kMaxTextChars || !printable(value))
            return refuse(problem, std::string("has a ") + attribute.name + " longer than " +
                                       std::to_string(kMaxTextChars) + " characters or with control characters");
    }
    if (!validPackName(manifest.name))
        return refuse(problem, "has the name '" + manifest.name + "', but a pack's name is 1 to 24 of a-z, 0-9, '-' and '_'");
    return true;
}

}  // namespace QEL
