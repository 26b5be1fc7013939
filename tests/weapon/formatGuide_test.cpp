// The format guide's reference tables are printed from the format tables the readers read: every
// block of docs/weapon-format.md between "<!-- printed from the format tables: NAME -->" and
// "<!-- end of printed table -->" must read exactly as printed here. When a table changes, the
// failure shows the new text to paste.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "effects/overlayEffects.h"
#include "weapon/weaponFormat.h"

namespace {

using namespace QEL;

std::string code(const std::string& text) { return "`" + text + "`"; }

std::string readAs(const attributeRule& rule) {
    if (rule.slot) return std::string(rule.slot->noun) + " 0 to " + std::to_string(rule.slot->count - 1);
    switch (rule.type) {
        case valueType::integer: return "whole number";
        case valueType::number: return "number";
        case valueType::nonZero: return "on unless 0";
        case valueType::isTrue: return "on for `true`";
        default: return "text";
    }
}

std::string missing(const attributeRule& rule) {
    if (rule.type == valueType::nonZero || rule.type == valueType::isTrue) return "off";
    return *rule.fallback ? code(rule.fallback) : "empty";
}

// Every element with its attributes; the <custom> settings have a table of their own.
std::string reference(const xmlSchema& format) {
    std::ostringstream out;
    out << "| element or attribute | read as | missing | meaning |\n|---|---|---|---|\n";
    for (const elementRule& element : format.rules) {
        if (element.parent && std::string(element.parent) == "custom") continue;
        out << "| " << code("<" + std::string(element.name) + ">");
        if (element.parent) out << " in " << code("<" + std::string(element.parent) + ">") << (element.repeats ? ", each" : "");
        out << " | | | " << element.meaning << " |\n";
        for (const attributeRule& a : element.attributes) {
            out << "| " << code(a.name) << " | " << readAs(a) << " | " << missing(a) << " | " << a.meaning << " |\n";
        }
    }
    return out.str();
}

std::string customSettings() {
    std::ostringstream out;
    out << "| setting | values | effect |\n|---|---|---|\n";
    for (const elementRule* setting : weaponFormat().children(weaponRule("custom"))) {
        std::string values;
        for (const textRule& t : setting->texts) values += (values.empty() ? "" : ", ") + (t.text ? code(t.text) : "other");
        std::string attributes;
        for (const attributeRule& a : setting->attributes) attributes += (attributes.empty() ? "" : ", ") + code(a.name);
        if (!attributes.empty()) values += (values.empty() ? "" : ", or no text with ") + std::string("attributes ") + attributes;
        out << "| " << code(setting->name) << " | " << (values.empty() ? "text" : values) << " | " << setting->meaning
            << " |\n";
    }
    return out.str();
}

std::string animationRoles() {
    std::ostringstream out;
    out << "| name | role |\n|---|---|\n";
    for (const animationRoleName& role : animationRoleNames()) {
        const std::string name = role.name;
        out << "| " << (role.numbered ? code(name + "0") + " … " + code(name + "9") : code(name)) << " | " << role.meaning
            << " |\n";
    }
    return out.str();
}

TEST(FormatGuide, ReferenceTablesReadAsTheFormatTablesPrintThem) {
    std::ifstream file(KABLIX_SOURCE_DIR "/docs/weapon-format.md");
    std::stringstream text;
    text << file.rdbuf();
    const std::string guide = text.str();
    const std::map<std::string, std::string> printed = {{"custom", customSettings()},
                                                        {"animation roles", animationRoles()},
                                                        {"weapon file", reference(weaponFormat())},
                                                        {"hit effects file", reference(hitEffectsFormat())}};
    for (const auto& [name, table] : printed) {
        const std::string begin = "<!-- printed from the format tables: " + name + " -->\n";
        const size_t from = guide.find(begin);
        ASSERT_NE(from, std::string::npos) << "docs/weapon-format.md has no table " << name;
        const size_t start = from + begin.size();
        const size_t end = guide.find("<!-- end of printed table -->", start);
        EXPECT_EQ(guide.substr(start, end - start), table) << "docs/weapon-format.md, table " << name << ", should read:\n"
                                                          << table;
    }
}

}  // namespace
