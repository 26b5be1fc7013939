// Reading weapon files: the root, images, emitters, shot types, sounds, cartridge, ammunition,
// animations and frames, and both passes over <custom>, with their log lines.
#include <gtest/gtest.h>

#include "effects/cCartridgeEjector.h"
#include "effects/cEmitter.h"
#include "effects/overlayEffects.h"
#include "render/QuadSet.h"
#include "tests/weapon/weaponWorld.h"
#include "weapon/cAssetSerializer.h"
#include "weapon/weaponTest.h"

namespace weaponTest {
namespace {

using QEL::cAnimation;

const std::string kMinimalBody = standardImages() + shotTypes(true, false, false) + animationXml("shot1", 3, 3);

bool contains(const std::string& log, const std::string& line) { return log.find(line) != std::string::npos; }

class Reader : public WeaponWorld {
protected:
    // Loads a weapon whose body is the minimal one plus `extra`; the fire mode or -2.
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
    EXPECT_EQ(mgr().asset, nullptr);

    EXPECT_EQ(loadWeapon("w", "<KablixWeapon name=\"w\" allowInterrupt=\"true\">" + kMinimalBody + "</KablixWeapon>"), -2);
    EXPECT_TRUE(contains(takeLog(), "E: (QEL::cAssetSerializer::processRoot) \aInvalid rules file. Missing "
                                    "<kablixWeapon> element\n"));

    EXPECT_EQ(loadBody("<images><image id=\"0\">missing.png</image></images>"), -2);
    EXPECT_TRUE(contains(takeLog(), "E: (QEL::cAssetMgr::loadImageIntoSlot) \aIMAGE NOT FOUND: missing.png\n"));
    EXPECT_EQ(mgr().asset, nullptr);

    EXPECT_EQ(loadBody(kMinimalBody + "<sounds><sound id=\"0\">quiet</sound></sounds>"), -2);
    EXPECT_TRUE(contains(takeLog(), "E: (QEL::cAssetMgr::loadSoundIntoSlot) \aSOUND NOT FOUND: quiet.ogg\n"));
}

TEST_F(Reader, RootAttributesAndTheLinesAroundALoad) {
    const std::string xml = "<kablixWeapon allowSoundOverlap=\"true\">" + kMinimalBody + "</kablixWeapon>";
    writeAsset("w.xml", xml);
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

    loadBody(kMinimalBody, "allowSoundOverlap=\"yes\"");
    EXPECT_FALSE(asset().allowSoundOverlap);
    loadWeapon("w", "<kablixWeapon name=\"w\" allowInterrupt=\"yes\">" + kMinimalBody + "</kablixWeapon>");
    EXPECT_FALSE(contains(takeLog(), "allowInterrupt not specified"));
    EXPECT_FALSE(asset().allowInterrupt);
}

TEST_F(Reader, ImagesSoundsShotTypesAndSkippedIds) {
    writeSolidPng("other", 16, 16, 9, 9, 9);
    writeOgg("bang");
    const std::string body =
        "<images><image id=\"15\">gun.png</image><image id=\"4\">other.tga</image></images>"
        "<sounds><sound id=\"10\">bang</sound><sound id=\"4\">bang</sound></sounds>"
        "<shotTypes switchPosX=\"7\"><single>true</single><burst>1</burst><auto>yes</auto></shotTypes>" +
        animationXml("burst1", 3, 1);
    EXPECT_EQ(loadBody(body), 1);
    const std::string log = takeLog();
    EXPECT_TRUE(contains(log, "E: (QEL::cAssetSerializer::processImages) \aTOO MANY IMAGES!\n"));
    EXPECT_TRUE(contains(log, "E: (QEL::cAssetSerializer::processSounds) \aTOO MANY ANIMATIONS!\n"));
    EXPECT_TRUE(mgr().imageSlots[4]->getHasTexture());  // other.tga is read as other.png
    EXPECT_EQ(mgr().imageSlots[4]->quadCount(), 1u);
    EXPECT_TRUE(mgr().soundSlots[4]->hasVariants());
    EXPECT_FALSE(asset().singleEnabled);
    EXPECT_TRUE(asset().burstEnabled);
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
    EXPECT_EQ(spark->blend, 3);

    loadBody(kMinimalBody + "<emitters><emitter id=\"4\" name=\"spark\" blend=\"1\"/>"
                            "<emitter id=\"4\" name=\"spark\"/></emitters>");
    ASSERT_EQ(mgr().particleLayer->emitters.size(), 1u);
    EXPECT_EQ(spark->blend, 3);
    EXPECT_EQ(mgr().serializer->getEmitter(4), spark);
    takeLog();
    EXPECT_EQ(mgr().serializer->getEmitter(0), nullptr);
    EXPECT_EQ(takeLog(), "E: (QEL::cAssetSerializer::getEmitter) \a[assetSerializer] A frame requested an emitter "
                         "with ID 0 but it was not found!  This will almost certainly cause a crash!\n");
}

TEST_F(Reader, AmmunitionAndCartridges) {
    loadBody(kMinimalBody + ammoXml(0) + "<ejectCartridge image=\"2\" scale=\"1\"/>");
    EXPECT_EQ(mgr().magazineSize, 0);
    EXPECT_EQ(mgr().roundsLeft, -1);
    EXPECT_EQ(asset().ammoImage, nullptr);
    EXPECT_EQ(mgr().ejector->image, nullptr);

    loadBody(kMinimalBody + ammoXml(3) + "<ammo count=\"9\"/><ejectCartridge image=\"3\" scale=\"12\"/>");
    EXPECT_EQ(mgr().magazineSize, 3);
    EXPECT_EQ(mgr().roundsLeft, 2);
    ASSERT_EQ(asset().ammoImage, mgr().imageSlots[2]);
    EXPECT_EQ(mgr().imageSlots[2]->quadCount(), 3u);
    EXPECT_EQ(mgr().ejector->image, mgr().imageSlots[3]);
    EXPECT_EQ(mgr().imageSlots[3]->quadCount(), 20u);

    // Rounds read after the cartridges take their slot back; the cartridges give it up.
    loadBody(kMinimalBody + ammoXml(3) + "<ejectCartridge image=\"2\" scale=\"12\"/>");
    EXPECT_EQ(mgr().imageSlots[2]->quadCount(), 3u);
    EXPECT_EQ(mgr().ejector->image, nullptr);

    // Round 1 at pixel (20, 300): its top-left corner in device units, its size the texture's.
    loadBody(kMinimalBody + "<ammo count=\"2\" img=\"2\"><bullet id=\"5\"/><bullet id=\"1\" x=\"20\" y=\"300\" "
                            "rot=\"45\"/></ammo>");
    EXPECT_TRUE(contains(takeLog(), "W: (QEL::cAssetSerializer::processAmmo) Bullet quad not found!\n"));
    QEL::QuadSet* rounds = asset().ammoImage;
    rounds->unlock();
    QEL::Quad* quad = rounds->getQuad(1);
    ASSERT_NE(quad, nullptr);
    EXPECT_FLOAT_EQ(quad->position.x, 20.0f / 568 * 2 - 1);
    EXPECT_FLOAT_EQ(quad->position.y, 20.0f / 320 * 2 - 1);
    EXPECT_FLOAT_EQ(quad->position.w, 8.0f / 568);
    EXPECT_FLOAT_EQ(quad->position.h, 8.0f / 320);
    EXPECT_FLOAT_EQ(quad->angle, 45.0f);

    // An ejector image index past the slots disables the cartridges instead of taking the default slot.
    loadBody(kMinimalBody + "<ejectCartridge image=\"15\" scale=\"12\"/>");
    EXPECT_EQ(mgr().ejector->image, nullptr);
    EXPECT_EQ(mgr().defaultSlot->quadCount(), 1u);
}

TEST_F(Reader, AnimationSoundOffsets) {
    writeOgg("s2");
    writeOgg("s4");
    auto frameWithSound = [](int n, int sound) {
        return "<frame img=\"0\" n=\"" + std::to_string(n) + "\" sound=\"" + std::to_string(sound) + "\"/>";
    };
    std::string five = "<animation name=\"five\" frameCount=\"5\" sound=\"2\">";
    for (int k = 0; k < 5; ++k) five += frameWithSound(k, k == 3 ? 4 : -1);
    five += "</animation>";
    std::string three = "<animation name=\"three\" frameCount=\"3\" sound=\"2\">";
    for (int k = 0; k < 3; ++k) three += frameWithSound(k, -1);
    three += "</animation>";
    const std::string unfilled = "<animation name=\"unfilled\" frameCount=\"2\" sound=\"6\">" + frameWithSound(0, 4) +
                                 frameWithSound(1, 4) + "</animation>";
    loadBody(kMinimalBody + "<sounds><sound id=\"2\" offset=\"3\">s2</sound><sound id=\"4\">s4</sound></sounds>" +
             "<animations>" + five + three + unfilled + "</animations>");
    const std::string log = takeLog();
    EXPECT_TRUE(contains(log, "E: (QEL::cAssetSerializer::processAnimation) \aFrame and animation sounds are "
                              "colliding!!\n Ignoring frame sound for  ANIMATION: five FRAME: 3\n\n"));
    EXPECT_TRUE(contains(log, "colliding!!\n Ignoring frame sound for  ANIMATION: unfilled FRAME: 0\n\n"));

    QEL::cSoundSlot* slot2 = mgr().soundSlots[2];
    QEL::cSoundSlot* slot4 = mgr().soundSlots[4];
    cAnimation* a = asset().findAnimation("five");
    ASSERT_EQ(a->frames.size(), 5u);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(a->frames[k]->sound, k == 3 ? slot2 : nullptr) << k;
    for (QEL::cAnimFrame* frame : asset().findAnimation("three")->frames) EXPECT_EQ(frame->sound, nullptr);
    cAnimation* u = asset().findAnimation("unfilled");
    EXPECT_EQ(u->frames[0]->sound, nullptr);
    EXPECT_EQ(u->frames[1]->sound, slot4);
}

TEST_F(Reader, FramesBlendEjectAndSpawns) {
    writeSolidPng("spark", 8, 8, 255, 0, 0, true);
    const std::string frames =
        "<animation name=\"shot1\" frameCount=\"4\" bg=\"20\">"
        "<frame img=\"2\" blend=\"2\" x=\"1.5\" y=\"-2\" rot=\"30\" netSend=\"7\" lit=\"true\"/>"
        "<frame img=\"2\" lit=\"1\"><eject num=\"1\" x=\"3\" y=\"4\" rot=\"5\"/><eject num=\"5\"/></frame>"
        "<frame img=\"0\"><spawn/><spawn n=\"0\" e=\"0\" ms=\"250\" sc=\"40\" ang=\"90\" rg=\"10\"/></frame>"
        "<frame img=\"0\" blend=\"1\"/><frame img=\"-4\" blend=\"7\"/>"
        "</animation>";
    loadBody(standardImages() + shotTypes(true, false, false) + "<emitters><emitter id=\"0\" name=\"spark\"/></emitters>" +
             "<animations>" + frames + "</animations>");
    const std::string log = takeLog();
    EXPECT_TRUE(contains(log, "E: (QEL::cAssetSerializer::getEmitter) \a[assetSerializer] A frame requested an emitter "
                              "with ID -1 but it was not found!"));
    EXPECT_TRUE(contains(log, "E: (QEL::cAssetSerializer::processAnimation) \a[assetSerializer] A spawning particle "
                              "was found with a less than 1 spawn count???\n"));

    cAnimation* shot = asset().findAnimation("shot1");
    ASSERT_EQ(shot->frames.size(), 5u);
    EXPECT_EQ(shot->durationMs, 133);
    EXPECT_EQ(shot->background, mgr().defaultSlot);
    EXPECT_TRUE(shot->hasEject);
    QEL::cAnimFrame* f0 = shot->frames[0];
    EXPECT_EQ(f0->blendMode, 4);  // blend 2 wins over the RGBA picture's 2
    EXPECT_FLOAT_EQ(f0->x, 1.5f);
    EXPECT_FLOAT_EQ(f0->y, -2.0f);
    EXPECT_FLOAT_EQ(f0->rot, 30.0f);
    EXPECT_EQ(f0->netSend, 7);
    EXPECT_FALSE(f0->lit);  // "true" is not a number
    EXPECT_EQ(f0->animation, shot);
    QEL::cAnimFrame* f1 = shot->frames[1];
    EXPECT_EQ(f1->blendMode, 2);
    EXPECT_TRUE(f1->lit);
    EXPECT_TRUE(f1->eject);
    EXPECT_EQ(f1->ejectNum, 1);  // only the first <eject>
    EXPECT_FLOAT_EQ(f1->ejectX, 3.0f);
    EXPECT_FLOAT_EQ(f1->ejectRot, 5.0f);
    QEL::cAnimFrame* f2 = shot->frames[2];
    EXPECT_EQ(f2->blendMode, 1);
    ASSERT_EQ(f2->spawns.size(), 2u);
    EXPECT_EQ(f2->spawns[0].count, 1);
    EXPECT_EQ(f2->spawns[0].emitter, nullptr);
    EXPECT_EQ(f2->spawns[0].ms, 100);
    EXPECT_FLOAT_EQ(f2->spawns[0].sc, 100.0f);
    EXPECT_EQ(f2->spawns[1].count, 0);
    EXPECT_EQ(f2->spawns[1].emitter, mgr().particleLayer->findEmitter("DYN_spark"));
    EXPECT_EQ(f2->spawns[1].ms, 250);
    EXPECT_FLOAT_EQ(f2->spawns[1].ang, 90.0f);
    EXPECT_FLOAT_EQ(f2->spawns[1].rg, 10.0f);
    EXPECT_EQ(shot->frames[3]->blendMode, 3);
    EXPECT_EQ(shot->frames[4]->blendMode, 1);
    EXPECT_EQ(shot->frames[4]->image, mgr().defaultSlot);
}

TEST_F(Reader, CustomFirstPass) {
    auto load = [this](const std::string& custom) {
        loadBody(kMinimalBody + "<custom>" + custom + "</custom>");
        return takeLog();
    };
    load("<fillColor r=\"10\" g=\"20\" b=\"30\"/><forceStartingMode>auto</forceStartingMode>"
         "<landscapeMode>true</landscapeMode><portraitMode>false</portraitMode><light>off</light>");
    const QEL::intColor& fill = mgr().serializer->fillColor;
    EXPECT_EQ((std::vector<int>{fill.r, fill.g, fill.b, fill.a}), (std::vector<int>{10, 20, 30, 0}));
    EXPECT_EQ(asset().forceStartingMode, -1);
    EXPECT_TRUE(asset().landscapeMode);
    EXPECT_EQ(asset().light, 0);
    EXPECT_TRUE(asset().drawBackground);

    load("<fillColor>skyBlue</fillColor><forceStartingMode>single</forceStartingMode><portraitMode>1</portraitMode>"
         "<light>controlled</light><drawBackground>blendAlpha</drawBackground>"
         "<enableCartridgeDroppingSound>0</enableCartridgeDroppingSound>");
    EXPECT_EQ((std::vector<int>{fill.r, fill.g, fill.b, fill.a}), (std::vector<int>{105, 156, 230, 0}));
    EXPECT_EQ(asset().forceStartingMode, 0);
    EXPECT_FALSE(asset().landscapeMode);
    EXPECT_EQ(asset().light, 1);
    EXPECT_TRUE(asset().drawBackground);
    EXPECT_EQ(asset().backgroundBlend, 2);
    EXPECT_FALSE(mgr().ejector->dropSoundEnabled);

    load("<fillColor>red</fillColor><light>bright</light><drawBackground>false</drawBackground>"
         "<landscapeMode>0</landscapeMode><forceStartingMode>burst</forceStartingMode>");
    EXPECT_EQ((std::vector<int>{fill.r, fill.g, fill.b, fill.a}), (std::vector<int>{255, 255, 255, 0}));
    EXPECT_EQ(asset().light, 2);
    EXPECT_FALSE(asset().drawBackground);
    EXPECT_EQ(asset().backgroundBlend, 1);
    EXPECT_FALSE(asset().landscapeMode);
    EXPECT_EQ(asset().forceStartingMode, 1);
    EXPECT_TRUE(mgr().ejector->dropSoundEnabled);  // on again for every weapon
}

TEST_F(Reader, CustomSecondPass) {
    const std::string animations =
        "<animations>" + animationXml("shot1", 3, 1) + animationXml("firstShot", 3, 1) + animationXml("windDown", 3, 1) +
        animationXml("cool", 3, 1) + "</animations>";
    auto load = [&](const std::string& custom, const std::string& anims, const std::string& rootAttributes = "") {
        int32_t mode = loadBody(standardImages() + shotTypes(true, false, false) + anims + "<custom>" + custom +
                                    "</custom>",
                                rootAttributes);
        return mode;
    };
    EXPECT_EQ(load("<allowSoundOverlap>false</allowSoundOverlap><drawOrder>particlesBack</drawOrder>"
                   "<firstShotIsCharge>shot1</firstShotIsCharge><windDownInterruptsTo>cool</windDownInterruptsTo>"
                   "<gravity y=\"0.01\"/><ejectGivesMomentum>0</ejectGivesMomentum>"
                   "<ejectGivesRotation>false</ejectGivesRotation>",
                   animations, "allowSoundOverlap=\"true\""),
              0);
    EXPECT_TRUE(asset().allowSoundOverlap);
    EXPECT_EQ(asset().drawOrder, 0);
    EXPECT_TRUE(asset().firstShotIsCharge);
    EXPECT_EQ(asset().findAnimation("firstShot")->linked, asset().findAnimation("shot1"));
    EXPECT_TRUE(asset().windDownInterrupts);
    EXPECT_EQ(asset().findAnimation("windDown")->linked, asset().findAnimation("cool"));
    EXPECT_FLOAT_EQ(asset().gravityX, 0.0f);
    EXPECT_FLOAT_EQ(asset().gravityY, 0.01f);
    EXPECT_FLOAT_EQ(mgr().ejector->gravityY, 0.01f);
    EXPECT_FALSE(asset().ejectGivesMomentum);
    EXPECT_FALSE(asset().ejectGivesRotation);

    takeLog();
    load("<allowSoundOverlap>true</allowSoundOverlap><drawOrder>particlesOverBG</drawOrder><gravity/>", animations);
    EXPECT_TRUE(asset().allowSoundOverlap);
    EXPECT_EQ(asset().drawOrder, 1);
    EXPECT_FLOAT_EQ(asset().gravityY, 0.0f);
    load("<drawOrder>front</drawOrder>", animations);
    EXPECT_TRUE(contains(takeLog(), "   WARNING: Custom XML value for <drawOrder> is invalid.\n"));
    EXPECT_EQ(asset().drawOrder, 2);
    EXPECT_FLOAT_EQ(asset().gravityY, 0.004f);

    const std::string fn = "E: (QEL::cAssetSerializer::processCustomPost) \a";
    const std::string noBase = "<animations>" + animationXml("shot1", 3, 1) + "</animations>";
    EXPECT_EQ(load("<firstShotIsCharge>shot1</firstShotIsCharge>", noBase), -2);
    EXPECT_TRUE(contains(takeLog(), fn + "ERROR: The custom XML <firstShotIsCharge> is invalid, because there is no "
                                         "firstShot animation!\n"));
    EXPECT_EQ(load("<firstShotIsCharge>shot9</firstShotIsCharge>", animations), -2);
    EXPECT_TRUE(contains(takeLog(), fn + "ERROR: The custom XML <firstShotIsCharge> is invalid, because there is no "
                                         "animation named 'shot9' !\n"));
    EXPECT_EQ(load("<windDownInterruptsTo>cool</windDownInterruptsTo>", noBase), -2);
    EXPECT_TRUE(contains(takeLog(), fn + "ERROR: The custom XML <windDownInterruptsTo> is invalid, because there is "
                                         "no windDown animation!\n"));
    EXPECT_EQ(load("<windDownInterruptsTo></windDownInterruptsTo>", animations), -2);
    EXPECT_TRUE(contains(takeLog(), fn + "ERROR: The custom XML <windDownInterruptsTo> is invalid, because there is "
                                         "no animation named '' !\n"));
    EXPECT_EQ(mgr().asset, nullptr);
}

}  // namespace
}  // namespace weaponTest
