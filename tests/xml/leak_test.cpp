// A filled document slot is never leaked: the global operator new and delete of this test program
// count the live heap blocks, and a round of loads must hand back everything it took.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "testing/assetsFolder.h"
#include "xml/XMLSerializer.h"
#include "weapon/weaponTest.h"

namespace {
std::atomic<long> live{0};
}

void* operator new(std::size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block) throw std::bad_alloc();
    ++live;
    return block;
}

void operator delete(void* block) noexcept {
    if (!block) return;
    --live;
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept { operator delete(block); }

namespace {

class NoLeak : public QEL::testing::AssetsFolderTest {
protected:
    // Live blocks left over by a second run of `round` (the first pays the libraries' one-time set-up).
    template <typename Round>
    long leftOver(Round round) {
        std::ostringstream quiet;  // grown once here, so the log does not disturb the count
        quiet << std::string(4096, ' ');
        std::streambuf* previous = std::cout.rdbuf(quiet.rdbuf());
        round();
        quiet.seekp(0);
        const long before = live.load();
        round();
        const long after = live.load();
        std::cout.rdbuf(previous);
        return after - before;
    }
};

class SlotReader : public QEL::XMLSerializer {
public:
    bool processRoot(TiXmlElement*) override { return true; }
};

TEST_F(NoLeak, ReusingASlotFreesTheDocumentItHeld) {
    writeAsset("good.xml", "<root><a/><b x=\"1\"/></root>");
    writeAsset("bad.xml", "<root><a></root>");
    EXPECT_EQ(leftOver([] {
                  SlotReader reader;
                  TiXmlDocument* document = nullptr;
                  for (const char* name : {"good", "good", "bad", "good", "none", "good"})
                      reader.loadXML("../assets/" + std::string(name) + ".xml", &document);
                  delete document;
              }),
              0);
}

TEST_F(NoLeak, ChecksOneAfterAnotherFreeEveryDocument) {
    writeAsset("gun.png", "x");
    writeAsset("rifle.xml", "<kablixWeapon name=\"rifle\" allowInterrupt=\"1\"><images><image>gun.png</image></images>"
                            "</kablixWeapon>");
    writeAsset("rejected.xml", "<kablixWeapon name=\"rifle\" allowInterrupt=\"1\"/>");
    writeAsset("broken.xml", "<kablixWeapon><images>");
    EXPECT_EQ(leftOver([] {
                  for (const char* name : {"rifle", "rifle", "rejected", "absent", "broken", "rifle"})
                      QEL::testWeapon(name);
                  QEL::releaseLastTestedDocument();
              }),
              0);
}

}  // namespace
