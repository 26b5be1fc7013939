// Reading weapon files: the root, images, emitters, shot types, sounds, cartridge, ammunition,
// animations and frames, and both passes over <custom>, with their log lines.
#include <gtest/gtest.h>

#include <array>

#include "effects/cCartridgeEjector.h"
#include "effects/cEmitter.h"
#include "effects/overlayEffects.h"
#include "render/QuadSet.h"
#include "render/screen.h"
#include "testing/weaponWorld.h"
#include "weapon/cAssetSerializer.h"
#include "weapon/weaponTest.h"

namespace weaponTest {
namespace {

using QEL::cAnimation;

const std::string kMinimalBody = standardImages() + shotTypes(true, false, false) + animationXml("shot1", 3, 3);

bool contains(const std::string& log, const std::string& line) { return log.find(line) != std::string::npos; }

class Reader : public WeaponWorld {
protected:
    int32_t loadBody(const std::string& body, const std::string& rootAttributes = "") {
        return loadWeapon("w", weaponXml("w", body, rootAttributes));
    }
    QEL::cAsset& asset() { return *mgr().asset; }
};

TEST_F(Reader, FailuresThatStopTheLoad) {
    mgr();
    QEL::releaseLastTestedDocument();
    takeLog();
    EXPECT_EQ(mgr().loadAsset(), -2);
    EXPECT_TRUE(contains(takeLog(), "E: (QEL::cAssetSerializer::loadXML) \aCould not determine what weapon to load! "
                                    "(the last tested weapon)\n"));
    const std::pair<std::string, std::string> failures[] = {
        {"<KablixWeapon name=\"w\" allowInterrupt=\"true\">" + kMinimalBody + "</KablixWeapon>",
         "E: (QEL::cAssetSerializer::processRoot) \aInvalid rules file. Missing <kablixWeapon> element\n"},
        {weaponXml("w", "<images><image id=\"0\">missing.png</image></images>"),
         "E: (QEL::cAssetMgr::loadImageIntoSlot) \aIMAGE NOT FOUND: missing.png\n"},
        {weaponXml("w", kMinimalBody + "<sounds><sound id=\"0\">quiet</sound></sounds>"),
         "E: (QEL::cAssetMgr::loadSoundIntoSlot) \aSOUND NOT FOUND: quiet.ogg\n"},
    };
    for (const auto& [xml, line] : failures) {
        EXPECT_EQ(loadWeapon("w", xml), -2) << line;
        EXPECT_TRUE(contains(takeLog(), line)) << line;
        EXPECT_EQ(mgr().asset, nullptr) << line;
    }
}

TEST_F(Reader, RootAttributesAndTheLinesAroundALoad) {
    writeAsset("w.xml", "<kablixWeapon allowSoundOverlap=\"true\">" + kMinimalBody + "</kablixWeapon>");
    mgr();
    QEL::testWeapon("w");  // fails on the name but keeps the document
    takeLog();
    EXPECT_EQ(mgr().loadAsset(), 0);
    const std::string log = takeLog();
    EXPECT_EQ(log.substr(0, log.find("   single fire")),
              "   Parsing XML file...\n"
              "W: (QEL::cAssetSerializer::processRoot) Name not specified in <kablixWeapon> element.\n"
              "W: (QEL::cAssetSerializer::processRoot) allowInterrupt not specified in <kablixWeapon> element.\n"
              "   [assetSerializer] SUCCESS!\n"
              "   E:  data1: -1 data2: -1\n");
    EXPECT_TRUE(asset().allowSoundOverlap);
    EXPECT_FALSE(asset().allowInterrupt);

    loadWeapon("w", "<kablixWeapon name=\"w\" allowInterrupt=\"yes\" allowSoundOverlap=\"yes\">" + kMinimalBody +
                        "</kablixWeapon>");
    EXPECT_FALSE(contains(takeLog(), "allowInterrupt not specified"));
    EXPECT_FALSE(asset().allowInterrupt);
    EXPECT_FALSE(asset().allowSoundOverlap);
}

TEST_F(Reader, ImagesSoundsShotTypesAndSkippedIds) {
    writeSolidPng("other", 16, 16, 9, 9, 9);
    writeOgg("bang");
    EXPECT_EQ(loadBody("<images><image id=\"15\">gun.png</image><image id=\"4\">other.tga</image></images>"
                       "<sounds><sound id=\"10\">bang</sound><sound id=\"4\">bang</sound></sounds>"
                       "<shotTypes switchPosX=\"7\"><single>true</single><burst>1</burst><auto>yes</auto></shotTypes>" +
                       animationXml("burst1", 3, 1)),
              QEL::kFireModeBurst);
    const std::string log = takeLog();
    EXPECT_TRUE(contains(log, "E: (QEL::cAssetSerializer::processImages) \aTOO MANY IMAGES!\n"));
    EXPECT_TRUE(contains(log, "E: (QEL::cAssetSerializer::processSounds) \aTOO MANY ANIMATIONS!\n"));
    EXPECT_EQ(mgr().imageSlots[4]->quadCount(), 1u);  // other.tga is read as other.png
    EXPECT_TRUE(mgr().soundSlots[4]->hasVariants());
    EXPECT_FALSE(asset().singleEnabled);  // only "1" enables a mode
    EXPECT_FALSE(asset().autoEnabled);
    EXPECT_EQ(asset().switchPosX, 7);
    EXPECT_EQ(asset().switchPosY, -100);
}

TEST_F(Reader, EmittersAreSharedByNameAcrossWeapons) {
    writeSolidPng("spark", 8, 8, 255, 0, 0, true);
    loadBody(kMinimalBody + "<emitters><emitter id=\"0\" name=\"spark\" blend=\"3\"/></emitters>");
    ASSERT_EQ(mgr().particleLayer->emitters.size(), 1u);
    QEL::cEmitter* spark = mgr().particleLayer->emitters[0];
    EXPECT_EQ(spark->getName(), "DYN_spark");

    loadBody(kMinimalBody + "<emitters><emitter id=\"4\" name=\"spark\" blend=\"1\"/>"
                            "<emitter id=\"4\" name=\"spark\"/></emitters>");
    ASSERT_EQ(mgr().particleLayer->emitters.size(), 1u);
    EXPECT_EQ(spark->blend, 3);  // the second weapon's blend is ignored
    EXPECT_EQ(mgr().serializer->getEmitter(4), spark);
    takeLog();
    EXPECT_EQ(mgr().serializer->getEmitter(0), nullptr);
    EXPECT_EQ(takeLog(), "E: (QEL::cAssetSerializer::getEmitter) \a[assetSerializer] A frame requested an emitter "
                         "with ID 0 but it was not found!  This will almost certainly cause a crash!\n");
}

TEST_F(Reader, AmmunitionAndCartridges) {
    loadBody(kMinimalBody + ammoXml(0) + "<ejectCartridge image=\"2\" scale=\"1\"/>");
    EXPECT_EQ(mgr().roundsLeft, -1);
    EXPECT_EQ(asset().ammoImage, nullptr);
    EXPECT_EQ(mgr().ejector->image, nullptr);  // scale 1 disables the cartridges

    loadBody(kMinimalBody + ammoXml(3) + "<ammo count=\"9\"/><ejectCartridge image=\"3\" scale=\"12\"/>");
    EXPECT_EQ(mgr().roundsLeft, 2);  // only the first <ammo>
    EXPECT_EQ(mgr().imageSlots[2]->quadCount(), 3u);
    EXPECT_EQ(mgr().ejector->image, mgr().imageSlots[3]);
    EXPECT_EQ(mgr().imageSlots[3]->quadCount(), 20u);

    // Rounds read after the cartridges take their slot back; the cartridges give it up.
    loadBody(kMinimalBody + ammoXml(3) + "<ejectCartridge image=\"2\" scale=\"12\"/>");
    EXPECT_EQ(mgr().imageSlots[2]->quadCount(), 3u);
    EXPECT_EQ(mgr().ejector->image, nullptr);

    // An ejector image index past the slots disables the cartridges instead of taking the default slot.
    loadBody(kMinimalBody + "<ejectCartridge image=\"15\" scale=\"12\"/>");
    EXPECT_EQ(mgr().ejector->image, nullptr);
    EXPECT_EQ(mgr().defaultSlot->quadCount(), 1u);

    // Round 1 at pixel (20, 300): its top-left corner in device units, its size the texture's.
    loadBody(kMinimalBody + "<ammo count=\"2\" img=\"2\"><bullet id=\"5\"/><bullet id=\"1\" x=\"20\" y=\"300\" "
                            "rot=\"45\"/></ammo>");
    EXPECT_TRUE(contains(takeLog(), "W: (QEL::cAssetSerializer::processAmmo) Bullet quad not found!\n"));
    asset().ammoImage->unlock();
    QEL::Quad* quad = asset().ammoImage->getQuad(1);
    ASSERT_NE(quad, nullptr);
    EXPECT_FLOAT_EQ(quad->position.x, QEL::pixelToDeviceX(20));
    EXPECT_FLOAT_EQ(quad->position.y, QEL::pixelToDeviceY(300));
    EXPECT_FLOAT_EQ(quad->position.w, 8.0f / 568);
    EXPECT_FLOAT_EQ(quad->position.h, 8.0f / 320);
    EXPECT_FLOAT_EQ(quad->angle, 45.0f);
}

// Animation sound 2 sits at frame 3: with five frames it replaces frame 3's own sound (the
// collision line), with three frames it never plays; an unfilled slot still drops frame 0's sound.
TEST_F(Reader, AnimationSoundOffsets) {
    writeOgg("s2");
    writeOgg("s4");
    auto animation = [](const std::string& name, int frames, int sound, int soundFrame) {
        std::string xml = "<animation name=\"" + name + "\" frameCount=\"" + std::to_string(frames) + "\" sound=\"" +
                          std::to_string(sound) + "\">";
        for (int k = 0; k < frames; ++k) {
            xml += "<frame img=\"0\" n=\"" + std::to_string(k) + "\" sound=\"" + std::to_string(k >= soundFrame ? 4 : -1) +
                   "\"/>";
        }
        return xml + "</animation>";
    };
    loadBody(kMinimalBody + "<sounds><sound id=\"2\" offset=\"3\">s2</sound><sound id=\"4\">s4</sound></sounds>" +
             "<animations>" + animation("five", 5, 2, 3) + animation("three", 3, 2, 3) + animation("unfilled", 2, 6, 0) +
             "</animations>");
    const std::string log = takeLog();
    EXPECT_TRUE(contains(log, "E: (QEL::cAssetSerializer::processAnimation) \aFrame and animation sounds are "
                              "colliding!!\n Ignoring frame sound for  ANIMATION: five FRAME: 3\n\n"));
    EXPECT_TRUE(contains(log, "colliding!!\n Ignoring frame sound for  ANIMATION: unfilled FRAME: 0\n\n"));
    QEL::cSoundSlot* s2 = mgr().soundSlots[2];
    QEL::cSoundSlot* s4 = mgr().soundSlots[4];
    const std::vector<std::pair<std::string, std::vector<QEL::cSoundSlot*>>> expected = {
        {"five", {nullptr, nullptr, nullptr, s2, s4}}, {"three", {nullptr, nullptr, nullptr}}, {"unfilled", {nullptr, s4}}};
    for (const auto& [name, slots] : expected) {
        std::vector<QEL::cSoundSlot*> got;
        for (QEL::cAnimFrame* frame : asset().findAnimation(name)->frames) got.push_back(frame->sound);
        EXPECT_EQ(got, slots) << name;
    }
}

TEST_F(Reader, FramesBlendEjectAndSpawns) {
    writeSolidPng("spark", 8, 8, 255, 0, 0, true);
    loadBody(standardImages() + shotTypes(true, false, false) + "<emitters><emitter id=\"0\" name=\"spark\"/></emitters>" +
             "<animations><animation name=\"shot1\" frameCount=\"4\" bg=\"20\">"
             "<frame img=\"2\" blend=\"2\" x=\"1.5\" y=\"-2\" rot=\"30\" netSend=\"7\" lit=\"true\"/>"
             "<frame img=\"2\" lit=\"1\"><eject num=\"1\" x=\"3\" y=\"4\" rot=\"5\"/><eject num=\"5\"/></frame>"
             "<frame img=\"0\"><spawn/><spawn n=\"0\" e=\"0\" ms=\"250\" sc=\"40\" ang=\"90\" rg=\"10\"/></frame>"
             "<frame img=\"0\" blend=\"1\"/><frame img=\"-4\" blend=\"7\"/></animation></animations>");
    const std::string log = takeLog();
    EXPECT_TRUE(contains(log, "E: (QEL::cAssetSerializer::getEmitter) \a[assetSerializer] A frame requested an emitter "
                              "with ID -1 but it was not found!"));
    EXPECT_TRUE(contains(log, "E: (QEL::cAssetSerializer::processAnimation) \a[assetSerializer] A spawning particle "
                              "was found with a less than 1 spawn count???\n"));

    cAnimation* shot = asset().findAnimation("shot1");
    ASSERT_EQ(shot->frames.size(), 5u);
    EXPECT_EQ(shot->background, mgr().defaultSlot);
    EXPECT_TRUE(shot->hasEject);
    const QEL::cAnimFrame& f0 = *shot->frames[0];
    EXPECT_EQ(f0.blendMode, 4);  // blend 2 wins over the RGBA picture's 2
    EXPECT_EQ((std::vector<float>{f0.x, f0.y, f0.rot}), (std::vector<float>{1.5f, -2.0f, 30.0f}));
    EXPECT_EQ(f0.netSend, 7);
    EXPECT_FALSE(f0.lit);  // "true" is not a number
    const QEL::cAnimFrame& f1 = *shot->frames[1];
    EXPECT_EQ(f1.blendMode, 2);
    EXPECT_TRUE(f1.lit && f1.eject);
    EXPECT_EQ(f1.ejectNum, 1);  // only the first <eject>
    EXPECT_EQ((std::vector<float>{f1.ejectX, f1.ejectRot}), (std::vector<float>{3.0f, 5.0f}));
    const QEL::cAnimFrame& f2 = *shot->frames[2];
    EXPECT_EQ(f2.blendMode, 1);
    ASSERT_EQ(f2.spawns.size(), 2u);
    const QEL::cSpawnRecord& defaults = f2.spawns[0];
    EXPECT_EQ(defaults.count, 1);
    EXPECT_EQ(defaults.emitter, nullptr);
    EXPECT_EQ(defaults.ms, 100);
    EXPECT_FLOAT_EQ(defaults.sc, 100.0f);
    const QEL::cSpawnRecord& given = f2.spawns[1];
    EXPECT_EQ(given.count, 0);
    EXPECT_EQ(given.emitter, mgr().particleLayer->findEmitter("DYN_spark"));
    EXPECT_EQ(given.ms, 250);
    EXPECT_EQ((std::vector<float>{given.ang, given.rg}), (std::vector<float>{90.0f, 10.0f}));
    EXPECT_EQ(shot->frames[3]->blendMode, 3);
    EXPECT_EQ(shot->frames[4]->blendMode, 1);
    EXPECT_EQ(shot->frames[4]->image, mgr().defaultSlot);
}

TEST_F(Reader, CustomFirstPass) {
    struct Case {
        const char* custom;
        std::vector<int> fill;
        int forceStartingMode, light, backgroundBlend;
        bool landscape, drawBackground, dropSound;
    };
    const Case cases[] = {
        {"<fillColor r=\"10\" g=\"20\" b=\"30\"/><forceStartingMode>auto</forceStartingMode><landscapeMode>true"
         "</landscapeMode><portraitMode>false</portraitMode><light>off</light>",
         {10, 20, 30, 0}, -1, 0, 1, true, true, true},
        {"<fillColor>skyBlue</fillColor><forceStartingMode>single</forceStartingMode><portraitMode>1</portraitMode>"
         "<light>controlled</light><drawBackground>blendAlpha</drawBackground>"
         "<enableCartridgeDroppingSound>0</enableCartridgeDroppingSound>",
         {105, 156, 230, 0}, 0, 1, 2, false, true, false},
        // The dropping sound is on again for every weapon.
        {"<fillColor>red</fillColor><light>bright</light><drawBackground>false</drawBackground>"
         "<landscapeMode>0</landscapeMode><forceStartingMode>burst</forceStartingMode>",
         {255, 255, 255, 0}, 1, 2, 1, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.custom);
        loadBody(kMinimalBody + "<custom>" + c.custom + "</custom>");
        const QEL::intColor& fill = mgr().serializer->fillColor;
        EXPECT_EQ((std::vector<int>{fill.r, fill.g, fill.b, fill.a}), c.fill);
        EXPECT_EQ(asset().forceStartingMode, c.forceStartingMode);
        EXPECT_EQ(asset().light, c.light);
        EXPECT_EQ(asset().backgroundBlend, c.backgroundBlend);
        EXPECT_EQ(asset().landscapeMode, c.landscape);
        EXPECT_EQ(asset().drawBackground, c.drawBackground);
        EXPECT_EQ(mgr().ejector->dropSoundEnabled, c.dropSound);
    }
}

TEST_F(Reader, CustomSecondPass) {
    const std::string animations = "<animations>" + animationXml("shot1", 3, 1) + animationXml("firstShot", 3, 1) +
                                   animationXml("windDown", 3, 1) + animationXml("cool", 3, 1) + "</animations>";
    auto load = [&](const std::string& custom, const std::string& anims, const std::string& rootAttributes = "") {
        return loadBody(standardImages() + shotTypes(true, false, false) + anims + "<custom>" + custom + "</custom>",
                        rootAttributes);
    };
    EXPECT_EQ(load("<allowSoundOverlap>false</allowSoundOverlap><drawOrder>particlesBack</drawOrder>"
                   "<firstShotIsCharge>shot1</firstShotIsCharge><windDownInterruptsTo>cool</windDownInterruptsTo>"
                   "<gravity y=\"0.01\"/><ejectGivesMomentum>0</ejectGivesMomentum>"
                   "<ejectGivesRotation>false</ejectGivesRotation>",
                   animations, "allowSoundOverlap=\"true\""),
              0);
    EXPECT_TRUE(asset().allowSoundOverlap);  // the root's setting wins
    EXPECT_EQ(asset().drawOrder, 0);
    EXPECT_TRUE(asset().firstShotIsCharge);
    EXPECT_EQ(asset().findAnimation("firstShot")->linked, asset().findAnimation("shot1"));
    EXPECT_TRUE(asset().windDownInterrupts);
    EXPECT_EQ(asset().findAnimation("windDown")->linked, asset().findAnimation("cool"));
    EXPECT_FLOAT_EQ(asset().gravityX, 0.0f);
    EXPECT_FLOAT_EQ(mgr().ejector->gravityY, 0.01f);
    EXPECT_FALSE(asset().ejectGivesMomentum);
    EXPECT_FALSE(asset().ejectGivesRotation);

    load("<allowSoundOverlap>true</allowSoundOverlap><drawOrder>particlesOverBG</drawOrder><gravity/>", animations);
    EXPECT_TRUE(asset().allowSoundOverlap);
    EXPECT_EQ(asset().drawOrder, 1);
    EXPECT_FLOAT_EQ(asset().gravityY, 0.0f);
    takeLog();
    load("<drawOrder>front</drawOrder>", animations);
    EXPECT_TRUE(contains(takeLog(), "   WARNING: Custom XML value for <drawOrder> is invalid.\n"));
    EXPECT_EQ(asset().drawOrder, 2);
    EXPECT_FLOAT_EQ(asset().gravityY, 0.004f);

    const std::string noBase = "<animations>" + animationXml("shot1", 3, 1) + "</animations>";
    const std::string error = "E: (QEL::cAssetSerializer::processCustomPost) \aERROR: The custom XML ";
    const std::vector<std::array<std::string, 3>> failures = {
        {"<firstShotIsCharge>shot1</firstShotIsCharge>", noBase,
         "<firstShotIsCharge> is invalid, because there is no firstShot animation!\n"},
        {"<firstShotIsCharge>shot9</firstShotIsCharge>", animations,
         "<firstShotIsCharge> is invalid, because there is no animation named 'shot9' !\n"},
        {"<windDownInterruptsTo>cool</windDownInterruptsTo>", noBase,
         "<windDownInterruptsTo> is invalid, because there is no windDown animation!\n"},
        {"<windDownInterruptsTo></windDownInterruptsTo>", animations,
         "<windDownInterruptsTo> is invalid, because there is no animation named '' !\n"},
    };
    for (const auto& [custom, anims, line] : failures) {
        EXPECT_EQ(load(custom, anims), -2) << custom;
        EXPECT_TRUE(contains(takeLog(), error + line)) << line;
        EXPECT_EQ(mgr().asset, nullptr);
    }
}

}  // namespace
}  // namespace weaponTest
