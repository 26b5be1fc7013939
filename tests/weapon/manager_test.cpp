// The asset manager: fire modes and the switch, sound slots with variants, the magazine, image
// slots, event recording and what a load stores.
#include <gtest/gtest.h>

#include "effects/cCartridgeEjector.h"
#include "effects/teamDamage.h"
#include "render/QuadSet.h"
#include "render/screen.h"
#include "sound/cSoundManager.h"
#include "testing/weaponWorld.h"
#include "weapon/weaponTest.h"

namespace weaponTest {
namespace {

class Manager : public WeaponWorld {
protected:
    int32_t loadModes(bool single, bool burst, bool automatic, const std::string& custom = "") {
        const std::string body = standardImages() + shotTypes(single, burst, automatic) + "<animations>" +
                                 animationXml("shot1", 3, 1) + animationXml("burst1", 3, 1) + "</animations>" +
                                 (custom.empty() ? "" : "<custom>" + custom + "</custom>");
        return loadWeapon("w", weaponXml("w", body));
    }
};

TEST_F(Manager, StartingModeAndTheSwitchCycle) {
    EXPECT_EQ(loadModes(true, true, true), QEL::kFireModeAuto);
    EXPECT_EQ(mgr().toggleAssetMode(), QEL::kFireModeBurst);
    EXPECT_EQ(mgr().toggleAssetMode(), QEL::kFireModeSingle);
    EXPECT_EQ(mgr().toggleAssetMode(), QEL::kFireModeAuto);
    const std::string log = takeLog();
    EXPECT_EQ(log.substr(log.find("   E:  data1")),
              "   E:  data1: -1 data2: -1\n"
              "   auto fire\n   E: switchedMode data1: 2 data2: -1\n"
              "   burst fire\n   E: switchedMode data1: 1 data2: -1\n"
              "   single fire\n   E: switchedMode data1: 0 data2: -1\n"
              "   auto fire\n   E: switchedMode data1: 2 data2: -1\n");

    EXPECT_EQ(loadModes(true, false, true, "<forceStartingMode>single</forceStartingMode>"), QEL::kFireModeSingle);
    EXPECT_EQ(mgr().toggleAssetMode(), QEL::kFireModeAuto);
    EXPECT_EQ(mgr().toggleAssetMode(), QEL::kFireModeSingle);

    EXPECT_EQ(loadModes(false, false, false), -1);
    EXPECT_NE(takeLog().find("   invalid fire mode\n"
                             "E: (QEL::cAssetMgr::toggleAssetMode) \a[cAssetMgr] invalid fire mode for: w\n"
                             "   E: switchedMode data1: -1 data2: -1\n"
                             "W: (QEL::cAssetMgr::loadAsset) [cAssetMgr] No fire modes available for: w\n"),
              std::string::npos);
    mgr().injectInputDown();
    EXPECT_EQ(takeLog(), "W: (QEL::cAssetMgr::injectInputDown) cAssetMgr received input during invalid asset state!\n");
    EXPECT_EQ(mgr().currentAnimation, nullptr);
}

// Only burst: the switch clicks and stays, still counting a switch; it shows the burst column of
// its picture at (500, 10), turned in portrait.
TEST_F(Manager, OnlyBurstClicksAndStays) {
    EXPECT_EQ(loadModes(false, true, false), QEL::kFireModeBurst);
    const int32_t clickPosition = mgr().emptyClick->position;
    takeLog();
    EXPECT_EQ(mgr().toggleAssetMode(), QEL::kFireModeBurst);
    EXPECT_NE(mgr().emptyClick->position, clickPosition);
    EXPECT_EQ(takeLog(), "   burst fire\n   E: switchedMode data1: 1 data2: -1\n");
    mgr().modeIndicator->unlock();
    QEL::Quad* quad = mgr().modeIndicator->getQuad(0);
    ASSERT_NE(quad, nullptr);
    EXPECT_FLOAT_EQ(quad->textureRect.x, 64.0f / 256.0f);
    EXPECT_FLOAT_EQ(quad->position.x, QEL::pixelToDeviceX(500));
    EXPECT_FLOAT_EQ(quad->position.y, QEL::pixelToDeviceY(10));
    EXPECT_FLOAT_EQ(quad->angle, 0.0f);

    loadModes(false, true, false, "<portraitMode>true</portraitMode>");
    mgr().modeIndicator->unlock();
    EXPECT_FLOAT_EQ(mgr().modeIndicator->getQuad(0)->angle, 90.0f);
    EXPECT_EQ(mgr().modeIndicator->quadCount(), 1u);
}

TEST_F(Manager, SoundVariantsStopAtTheFirstGap) {
    for (const char* name : {"shot", "shot-v1", "shot-v3"}) writeOgg(name);
    loadWeapon("w", weaponXml("w", standardImages() + shotTypes(true, false, false) +
                                       "<sounds><sound id=\"5\" offset=\"2\">shot</sound><sound id=\"6\">shot</sound></sounds>"));
    QEL::cSoundSlot* slot = mgr().soundSlots[5];
    ASSERT_EQ(slot->pools.size(), 2u);
    EXPECT_EQ(slot->pools[0]->name, "shot");
    EXPECT_EQ(slot->pools[1]->name, "shot-v1");
    EXPECT_EQ(slot->pools[0]->instances.size(), 2u);
    EXPECT_EQ(mgr().soundOffsets[5], 2);
    // A second slot naming the same file shares its pools rather than replacing them.
    EXPECT_EQ(mgr().soundSlots[6]->pools, slot->pools);
    EXPECT_NE(slot->pools[0]->play2d(), 0u);

    // A weapon without sounds empties the slots and forgets their offsets.
    loadWeapon("w", weaponXml("w", standardImages() + shotTypes(true, false, false)));
    EXPECT_FALSE(mgr().soundSlots[5]->hasVariants());
    EXPECT_EQ(mgr().soundOffsets[5], 0);
    EXPECT_EQ(sounds->findSound("shot_0"), nullptr);
}

// Slots naming the shared sounds' files register pools under names already in use; the shared
// pools must outlive them, and the slots' pools must go with the weapon.
TEST_F(Manager, SlotPoolsNeverFreeSharedSoundsAndGoWithTheirWeapon) {
    for (const char* name : {"emptyClick", "shellHitFloor", "dodgeOn", "dodgeOff"}) writeOgg(name);
    loadWeapon("w", weaponXml("w", standardImages() + shotTypes(true, false, false)));
    mgr().damage->set(2);
    ASSERT_TRUE(mgr().injectDodgeInput(true));  // the shield's sounds now exist
    mgr().injectDodgeInput(false);
    const size_t groups = sounds->groupCount();
    loadWeapon("w", weaponXml("w", standardImages() + shotTypes(true, false, false) +
                                       "<sounds><sound id=\"0\">emptyClick</sound><sound id=\"1\">shellHitFloor</sound>"
                                       "<sound id=\"2\">dodgeOn</sound><sound id=\"3\">dodgeOff</sound></sounds>"));
    EXPECT_EQ(sounds->groupCount(), groups + 4);
    loadWeapon("w", weaponXml("w", standardImages() + shotTypes(true, false, false)));
    EXPECT_EQ(sounds->groupCount(), groups);
    // Under AddressSanitizer a freed pool played here is a failure.
    mgr().emptyClick->play2d();
    mgr().ejector->dropSound->play2d();
    EXPECT_TRUE(mgr().injectDodgeInput(true));
    mgr().injectDodgeInput(false);
    mixAudio(8000);
}

TEST_F(Manager, AmmunitionAndImageSlots) {
    loadModes(true, false, false);
    QEL::cAssetMgr& m = mgr();
    EXPECT_EQ(m.setAmmo(30, 3), m.imageSlots[3]);
    EXPECT_EQ(m.roundsLeft, 29);
    EXPECT_EQ(m.asset->ammoImage, m.imageSlots[3]);
    EXPECT_EQ(m.imageSlots[3]->quadCount(), 30u);
    EXPECT_EQ(m.setAmmo(0, 3), nullptr);
    EXPECT_EQ(m.roundsLeft, -1);
    EXPECT_EQ(m.asset->ammoImage, nullptr);
    // The default slot keeps standing in for missing backgrounds: the magazine is counted, not shown.
    EXPECT_EQ(m.setAmmo(5, 15), nullptr);
    EXPECT_EQ(m.magazineSize, 5);
    EXPECT_EQ(m.roundsLeft, 4);
    EXPECT_EQ(m.defaultSlot->quadCount(), 1u);
    EXPECT_EQ(m.imageSlot(15), m.defaultSlot);
    EXPECT_EQ(m.imageSlot(-1), m.defaultSlot);

    takeLog();
    const QEL::intColor white(255, 255, 255, 0);
    EXPECT_FALSE(m.loadImageIntoSlot(0, white, "ab"));
    EXPECT_FALSE(m.loadImageIntoSlot(0, white, ""));
    writeAsset("broken.png", "not a picture");
    EXPECT_TRUE(m.loadImageIntoSlot(4, white, "broken.png"));
    EXPECT_EQ(m.imageSlots[4]->quadCount(), 0u);
    EXPECT_EQ(takeLog(), "E: (QEL::cAssetMgr::loadImageIntoSlot) \aIMAGE NOT FOUND: ab.png\n"
                         "E: (QEL::cAssetMgr::loadImageIntoSlot) \aIMAGE NOT FOUND: .png\n"
                         "E: (QEL::Image::LoadPNG_forcePowerOfTwo) \aCould not load PNG: ../assets/broken.png decoder ERROR: 27\n"
                         "W: (QEL::cAssetMgr::loadImageIntoSlot) cAssetMgr could not load image file: ../assets/broken.png\n");
    // gun.jpg is read from gun.png; the quad shows the 600 x 400 corner of the padded texture.
    EXPECT_TRUE(m.loadImageIntoSlot(4, white, "gun.jpg"));
    m.imageSlots[4]->unlock();
    EXPECT_FLOAT_EQ(m.imageSlots[4]->getQuad(0)->textureRect.w, 600.0f / 64.0f);
}

TEST_F(Manager, EventLinesAndTheGuard) {
    mgr();
    takeLog();
    mgr().recordEvent(QEL::eventWeaponLoaded, -1, -1);
    mgr().recordEvent(QEL::eventShot, 2, 1);
    mgr().eventGuard = true;
    mgr().recordEvent(QEL::eventReload, 0, -1);
    mgr().eventGuard = false;
    EXPECT_EQ(takeLog(), "   E:  data1: -1 data2: -1\n   E: shot data1: 2 data2: 1\n");
    ASSERT_EQ(mgr().events.size(), 2u);
    EXPECT_EQ(mgr().events[1].data2, 1);

    // Handing out an idle is logged but not stored.
    loadWeapon("w", weaponXml("w", standardImages() + shotTypes(true, false, true) + "<animations>" +
                                       animationXml("idle3", 3, 1) + "</animations>"));
    const size_t stored = mgr().events.size();
    takeLog();
    EXPECT_EQ(mgr().asset->getIdleAnimation()->name, "idle3");
    EXPECT_EQ(takeLog(), "   E: idled data1: 2 data2: -1\n");
    EXPECT_EQ(mgr().events.size(), stored);
}

TEST_F(Manager, LoadingTwiceStoresTheFirstLoad) {
    loadModes(true, false, false);
    loadModes(true, false, false);
    EXPECT_EQ(eventLines(takeLog()), "   E:  data1: -1 data2: -1\n   E: switchedMode data1: 0 data2: -1\n"
                                     "   E:  data1: -1 data2: -1\n   E: switchedMode data1: 0 data2: -1\n");
    EXPECT_EQ(storedValue("SELECT used FROM score WHERE name = 'w'"), 1);
    EXPECT_EQ(mgr().events.size(), 2u);
    mgr().unloadAsset();
    EXPECT_EQ(storedValue("SELECT used FROM score WHERE name = 'w'"), 2);
    EXPECT_TRUE(mgr().events.empty());
    EXPECT_EQ(mgr().fireMode, -1);
    EXPECT_EQ(mgr().imageSlots[0]->quadCount(), 0u);
}

}  // namespace
}  // namespace weaponTest
