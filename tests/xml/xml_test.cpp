// The rules loader's document slot and the weapon check's kept document: filled, replaced, kept or cleared, and no round
// of loads leaves a block on the heap (operator new and delete count the live blocks). Refused files: tests/check.
// A pack's manifest read or refused with its one reason.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "testing/assetsFolder.h"
#include "xml/packManifest.h"
#include "weapon/weaponTest.h"

static std::atomic<long> live{0};

void* operator new(std::size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block) throw std::bad_alloc();
    ++live;
    return block;
}
static void release(void* block) {
    if (block) --live;
    std::free(block);
}
void operator delete(void* block) noexcept { release(block); }
void operator delete(void* block, std::size_t) noexcept { release(block); }

namespace {

const std::string kError = "E: (QEL::XMLSerializer::loadXML) \a";
const std::string kParseError = kError + "[XMLSerializer] The TiXmlDocument reported an error. Could not parse XML file.\n";
const std::string kFull = "W: (QEL::XMLSerializer::loadXML) XML document pointer to be overwritten is not null!  Potential memory leak!\n";

struct RootCounter : QEL::XMLSerializer {  // hands every root over
    bool processRoot(TiXmlElement*) override { return ++calls > 0; }
    int calls = 0;
};

class XmlLoad : public QEL::testing::AssetsFolderTest {};

TEST_F(XmlLoad, SlotsAreFilledReplacedOrClearedAndNothingLeaks) {
    for (auto [name, text] : {std::pair{"bad", "<root><open></root>"}, {"good", "<?xml version=\"1.0\" ?>\n<good/>"},
                              {"bare", "<?xml version=\"1.0\" ?>\n<!-- no root -->\n"}, {"broken", "<kablixWeapon name=\"broken\""},
                              {"w", "<kablixWeapon name=\"w\" allowInterrupt=\"true\"><images/></kablixWeapon>"}})
        writeAsset(name + std::string(".xml"), text);

    auto round = [this] {
        RootCounter reader;
        TiXmlDocument* document = nullptr;
        // name → result, the lines logged, and whether the slot then holds a document.
        for (auto [name, result, log, filled] : {std::tuple{"good", true, std::string(), true}, {"good", true, kFull, true},
                                                 {"none", false, kFull + kError + "Could not open XML file: ../assets/none.xml\n", true},
                                                 {"bad", false, kFull + kParseError, false}, {"bare", false, std::string(), true}}) {
            EXPECT_EQ(reader.loadXML("../assets/" + std::string(name) + ".xml", &document), result) << name;
            EXPECT_EQ(takeLog(), log) << name;
            EXPECT_EQ(document != nullptr, filled) << name;
        }
        EXPECT_EQ(reader.calls, 2);  // only for the documents with a root
        delete document;
        // The weapon check hands over the document it parsed: a missing or broken file gives none.
        const bool tested = QEL::testWeapon("w").document && !QEL::testWeapon("absent").document && !QEL::testWeapon("broken").document;
        EXPECT_TRUE(tested && QEL::testWeapon("w") && QEL::testWeapon("w"));
        EXPECT_EQ(takeLog(), "   XML for absent was not found.\n" + kParseError);
    };
    const long before = (round(), live.load());  // the first round pays the libraries' one-time set-up
    round();
    EXPECT_EQ(live.load(), before);
}

TEST(PackManifest, ReadOrRefusedWithOneReason) {
    const std::string full = "<kablixPack name=\"desert_2-b\" title=\"Desert Arms\" version=\"1.2\" author=\"A\" license=\"CC0\"/>";
    for (auto [text, problem] : {std::pair{full, ""}, {"<kablixPack name=\"x\" title=\"X\" version=\"1\"/>", ""},
                                 {"<kablixPack name=\"x\" title=\"X\"", "is not well-formed XML ("},
                                 {"<kablixWeapon name=\"x\"/>", "has no <kablixPack> root element"},
                                 {"<kablixPack name=\"x\" title=\"X\" version=\"1\" titel=\"Y\"/>", "has an unknown attribute 'titel'"},
                                 {"<kablixPack name=\"x\" title=\"X\"/>", "has no version (<kablixPack version=\"...\">)"},
                                 {"<kablixPack name=\"x\" title=\"X\" version=\"1&#10;2\"/>", "has a version longer than 80 characters or with control characters"},
                                 {"<kablixPack name=\"abcdefghijklmnopqrstuvwxy\" title=\"X\" version=\"1\"/>", "has the name 'abcdefghijklmnopqrstuvwxy', but"},
                                 {"<kablixPack name=\"a.b\" title=\"X\" version=\"1\"/>", "has the name 'a.b', but"}}) {
        QEL::packManifest manifest;
        std::string found;
        EXPECT_EQ(QEL::readPackManifest(text, manifest, found), !*problem) << text;
        EXPECT_EQ(found.substr(0, std::strlen(problem)), problem) << text;
    }
    QEL::packManifest manifest;
    std::string found;
    ASSERT_TRUE(QEL::readPackManifest(full, manifest, found));
    EXPECT_EQ(manifest.name + "|" + manifest.title + "|" + manifest.version + "|" + manifest.author + "|" + manifest.license,
              "desert_2-b|Desert Arms|1.2|A|CC0");
}

}  // namespace
