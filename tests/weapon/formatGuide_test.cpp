// The format guide's reference tables are printed from the format tables the readers read: every
// block of docs/weapon-format.md between "<!-- printed from the format tables: NAME -->" and
// "<!-- end of printed table -->" must read exactly as printed here; a failure shows the new text.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "effects/overlayEffects.h"
#include "weapon/weaponFormat.h"

namespace {

using namespace QEL;

std::string code(const std::string& text) { return "`" + text + "`"; }

std::string list(const std::string& sofar, const std::string& next) { return sofar.empty() ? next : sofar + ", " + next; }

std::string readAs(const attributeRule& a) {
    if (a.slot) return std::string(a.slot->noun) + " 0 to " + std::to_string(a.slot->count - 1);
    switch (a.type) {
        case valueType::integer: return "whole number";
        case valueType::number: return "number";
        case valueType::nonZero: return "on unless 0";
        case valueType::isTrue: return "on for `true`";
        default: return "text";
    }
}

// Every element with its attributes; the <custom> settings have a table of their own.
std::string reference(const xmlSchema& format) {
    std::ostringstream out;
    out << "| element or attribute | read as | missing | meaning |\n|---|---|---|---|\n";
    for (const elementRule& e : format.rules) {
        if (e.parent && std::string(e.parent) == "custom") continue;
        out << "| " << code("<" + std::string(e.name) + ">");
        if (e.parent) out << " in " << code("<" + std::string(e.parent) + ">") << (e.repeats ? ", each" : "");
        out << " | | | " << e.meaning << " |\n";
        for (const attributeRule& a : e.attributes) {
            const bool flag = a.type == valueType::nonZero || a.type == valueType::isTrue;
            out << "| " << code(a.name) << " | " << readAs(a) << " | "
                << (flag ? "off" : *a.fallback ? code(a.fallback) : "empty") << " | " << a.meaning << " |\n";
        }
    }
    return out.str();
}

std::string customSettings() {
    std::ostringstream out;
    out << "| setting | values | effect |\n|---|---|---|\n";
    for (const elementRule* setting : weaponFormat().children(weaponRule("custom"))) {
        std::string values, attributes;
        for (const textRule& t : setting->texts) values = list(values, t.text ? code(t.text) : "other");
        for (const attributeRule& a : setting->attributes) attributes = list(attributes, code(a.name));
        if (!attributes.empty()) values += (values.empty() ? "" : ", or no text with ") + std::string("attributes ") + attributes;
        out << "| " << code(setting->name) << " | " << (values.empty() ? "text" : values) << " | " << setting->meaning << " |\n";
    }
    return out.str();
}

std::string animationRoles() {
    std::ostringstream out;
    out << "| name | role |\n|---|---|\n";
    for (const animationRoleName& role : animationRoleNames()) {
        const std::string name = role.name;
        out << "| " << (role.numbered ? code(name + "0") + " … " + code(name + "9") : code(name)) << " | " << role.meaning << " |\n";
    }
    return out.str();
}

TEST(FormatGuide, ReferenceTablesReadAsTheFormatTablesPrintThem) {
    std::stringstream text;
    text << std::ifstream(KABLIX_SOURCE_DIR "/docs/weapon-format.md").rdbuf();
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
        EXPECT_EQ(guide.substr(start, guide.find("<!-- end of printed table -->", start) - start), table)
            << "docs/weapon-format.md, table " << name << ", should read:\n" << table;
    }
}

}  // namespace
