// Every demo weapon through the real weapon manager on a GL context: loaded, fired in each mode
// it offers, reloaded, run dry and hit by every hit effect, without a single error or warning line.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "tests/pack/packFiles.h"
#include "testing/weaponWorld.h"
#include "weapon/cAssetMgr.h"
#include "weapon/weaponTest.h"

namespace weaponTest {
namespace {

class PackLoad : public WeaponWorld {
protected:
    void SetUp() override {
        WeaponWorld::SetUp();
        // The real pack replaces the stand-ins the weapon world writes.
        for (const auto& entry : fs::directory_iterator(KABLIX_PACK_DIR))
            if (entry.is_regular_file()) fs::copy_file(entry.path(), root / "assets" / entry.path().filename(), fs::copy_options::overwrite_existing);
        now = 1000;
    }

    // Runs frames every 33 ms (the animations' own rate) for `ms` milliseconds.
    void run(uint32_t ms) {
        for (uint32_t end = now + ms; now < end; now += 33) frameAt(now);
    }
    void pull(uint32_t holdMs) {
        mgr().injectInputDown();
        run(holdMs);
        mgr().injectInputUp();
        run(900);
    }
    // Every error and warning line among `lines`.
    static std::string problems(const std::string& lines) {
        std::istringstream in(lines);
        std::string line, found;
        while (std::getline(in, line)) {
            if (line.rfind("E: (", 0) == 0 || line.rfind("W: (", 0) == 0 || line.find("WARNING") != std::string::npos) found += line + "\n";
        }
        return found;
    }
    bool load(const std::string& name) {
        if (!QEL::testWeapon(name)) return false;
        return mgr().loadAsset() != -2;
    }

    uint32_t now = 0;
};

TEST_F(PackLoad, EveryWeaponLoadsFiresInEachModeReloadsAndRunsDryWithoutAComplaint) {
    std::vector<std::string> names = QEL::packtest::catalogueWeapons();
    ASSERT_GE(names.size(), 4u);
    mgr();
    EXPECT_EQ(problems(takeLog()), "") << "building the manager with the pack's shared files";
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(load(name));
        run(500);
        std::set<int32_t> modes;
        for (int i = 0; i < 3; ++i) {
            modes.insert(mgr().currentFireMode());
            pull(60);      // a tap: single shot, or the whole burst
            pull(1200);    // held: automatic fire keeps going
            mgr().toggleAssetMode();
        }
        EXPECT_FALSE(modes.count(-1));
        EXPECT_TRUE(mgr().requestReload() || mgr().magazineCapacity() == 0);
        run(2500);
        if (mgr().magazineCapacity() > 0) { EXPECT_EQ(mgr().roundsLoaded(), mgr().magazineCapacity()); }
        // Run the magazine dry, then press once more on the empty weapon.
        for (int i = 0; i < 40 && !mgr().isEmpty(); ++i) pull(300);
        if (mgr().magazineCapacity() > 0) { EXPECT_TRUE(mgr().isEmpty()); }
        pull(60);
        EXPECT_TRUE(mgr().requestReload());
        run(2500);
        const std::string log = takeLog();
        EXPECT_EQ(problems(log), "");
        for (int32_t mode : modes) EXPECT_NE(log.find("   E: shot data1: " + std::to_string(mode)), std::string::npos) << "no shot in mode " << mode;
        EXPECT_NE(log.find("   E: reload data1: "), std::string::npos);
        if (mgr().magazineCapacity() > 0) { EXPECT_NE(log.find("   E: emptyShot data1: "), std::string::npos); }
    }
}

// Hit 6 picks one of two spurts at random; one of them puts the sidearm in the victim's hand.
TEST_F(PackLoad, EveryHitEffectPlaysAndTheDisarmingOneHandsOverTheSidearm) {
    ASSERT_TRUE(load("carbine"));
    takeLog();
    for (int32_t id = 1; id <= 6; ++id) {
        mgr().receiveHit(id);
        run(800);
        const std::string log = takeLog();
        EXPECT_EQ(problems(log), "") << "hit " << id;
        EXPECT_NE(log.find("   E: incomingHit data1: " + std::to_string(id)), std::string::npos) << log;
    }
    for (int i = 0; i < 40 && mgr().weapon() && mgr().weapon()->name != "Sidearm"; ++i) {
        mgr().receiveHit(6);
        run(100);
    }
    ASSERT_TRUE(mgr().weapon());
    EXPECT_EQ(mgr().weapon()->name, "Sidearm");
    EXPECT_EQ(problems(takeLog()), "");
}

}  // namespace
}  // namespace weaponTest
