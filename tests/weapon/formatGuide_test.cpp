// The format guide's reference tables (the blocks of docs/weapon-format.md between "<!-- printed
// from the format tables: NAME -->" and "<!-- end of printed table -->") list what the format tables
// hold: one row for each element, attribute, <custom> setting and animation role, naming it with
// its meaning, and no other rows.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "effects/overlayEffects.h"
#include "weapon/weaponFormat.h"

namespace {

using namespace QEL;
using Items = std::vector<std::pair<std::string, std::string>>;  // the name as the guide writes it, the meaning

std::vector<std::string> tableRows(const std::string& guide, const std::string& name) {
    const std::string begin = "<!-- printed from the format tables: " + name + " -->\n";
    const size_t from = guide.find(begin) + begin.size();
    std::istringstream block(guide.substr(from, guide.find("<!-- end of printed table -->", from) - from));
    std::vector<std::string> rows;
    for (std::string line; std::getline(block, line);)
        if (line.rfind("| ", 0) == 0) rows.push_back(line);
    if (!rows.empty()) rows.erase(rows.begin());  // the header
    return rows;
}

Items reference(const xmlSchema& format) {
    Items items;
    for (const elementRule& element : format.rules) {
        if (element.parent && std::string(element.parent) == "custom") continue;  // a table of their own
        items.emplace_back("`<" + std::string(element.name) + ">`", element.meaning);
        for (const attributeRule& a : element.attributes) items.emplace_back("`" + std::string(a.name) + "`", a.meaning);
    }
    return items;
}

TEST(FormatGuide, ReferenceTablesListTheFormatTables) {
    std::stringstream text;
    text << std::ifstream(KABLIX_SOURCE_DIR "/docs/weapon-format.md").rdbuf();
    Items custom, roles;
    for (const elementRule* setting : weaponFormat().children(weaponRule("custom")))
        custom.emplace_back("`" + std::string(setting->name) + "`", setting->meaning);
    for (const animationRoleName& role : animationRoleNames())
        roles.emplace_back("`" + std::string(role.name) + (role.numbered ? "0`" : "`"), role.meaning);
    const std::map<std::string, Items> tables = {{"custom", custom}, {"animation roles", roles},
                                                 {"weapon file", reference(weaponFormat())},
                                                 {"hit effects file", reference(hitEffectsFormat())}};
    for (const auto& [table, items] : tables) {
        const std::vector<std::string> rows = tableRows(text.str(), table);
        EXPECT_EQ(rows.size(), items.size()) << "rows of the table " << table;
        for (const auto& [name, meaning] : items) {
            bool found = false;
            for (const std::string& row : rows) found |= row.find("| " + name) == 0 && row.find(meaning) != std::string::npos;
            EXPECT_TRUE(found) << "the table " << table << " has no row for " << name << ": " << meaning;
        }
    }
}

}  // namespace
