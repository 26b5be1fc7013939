#include "weapon/cAssetSerializer.h"

#include "base/log.h"
#include "effects/cCartridgeEjector.h"
#include "effects/cEmitter.h"
#include "effects/overlayEffects.h"
#include "render/QuadSet.h"
#include "render/screen.h"
#include "weapon/cAsset.h"
#include "weapon/cAssetMgr.h"
#include "weapon/weaponTest.h"

namespace QEL {

namespace {

// Repeated children are visited the same way everywhere: first child element of the name, then
// each next sibling element of that name.
template <typename Visit>
void forEachChild(TiXmlElement* parent, const char* name, Visit visit) {
    if (!parent) return;
    for (TiXmlElement* child = parent->FirstChildElement(name); child;
         child = child->NextSiblingElement(name)) {
        visit(child);
    }
}

bool textIsOneOf(const std::string& text, const char* a, const char* b) { return text == a || text == b; }

}  // namespace

cAssetMgr* cAssetSerializer::manager() const { return asset ? asset->assetMgr : nullptr; }

bool cAssetSerializer::loadXML(cAsset* target) {
    asset = target;
    if (!lastTestedDocument) {
        logError("QEL::cAssetSerializer::loadXML", "Could not determine what weapon to load! (the last tested weapon)");
        return false;
    }
    return processDocument(lastTestedDocument);
}

bool cAssetSerializer::processRoot(TiXmlElement* root) {
    emitters.clear();
    if (!root || std::string(root->Value()) != "kablixWeapon") {
        logError("QEL::cAssetSerializer::processRoot", "Invalid rules file. Missing <kablixWeapon> element");
        return false;
    }
    cAssetMgr* mgr = manager();
    if (!asset || !mgr) return false;
    logStatus("Parsing XML file...");

    asset->name = getAttributeString(root, "name", "");
    if (asset->name.empty()) logWarning("QEL::cAssetSerializer::processRoot", "Name not specified in <kablixWeapon> element.");
    const std::string interrupt = getAttributeString(root, "allowInterrupt", "");
    if (interrupt.empty()) {
        logWarning("QEL::cAssetSerializer::processRoot", "allowInterrupt not specified in <kablixWeapon> element.");
    }
    asset->allowInterrupt = interrupt == "true";
    asset->allowSoundOverlap = getAttributeString(root, "allowSoundOverlap", "") == "true";

    fillColor = intColor(255, 255, 255, 0);
    asset->drawBackground = true;
    mgr->ejector->dropSoundEnabled = true;

    TiXmlElement* custom = root->FirstChildElement("custom");
    processCustom(custom);
    if (!processImages(root->FirstChildElement("images"))) return false;
    processEmitters(root->FirstChildElement("emitters"));
    processShotTypes(root->FirstChildElement("shotTypes"));
    if (!processSounds(root->FirstChildElement("sounds"))) return false;
    processEjectCartridge(root->FirstChildElement("ejectCartridge"));
    processAmmo(root->FirstChildElement("ammo"));
    forEachChild(root->FirstChildElement("animations"), "animation",
                 [this](TiXmlElement* animation) { processAnimation(animation); });
    if (!processCustomPost(custom)) return false;
    logStatus("[assetSerializer] SUCCESS!");
    return true;
}

bool cAssetSerializer::processImages(TiXmlElement* images) {
    bool ok = true;
    forEachChild(images, "image", [&](TiXmlElement* image) {
        if (!ok) return;
        const int32_t id = getAttributeInt(image, "id", -1);
        if (id < 0 || id >= kImageSlotCount) {
            logError("QEL::cAssetSerializer::processImages", "TOO MANY IMAGES!");
            return;
        }
        ok = manager()->loadImageIntoSlot(id, fillColor, getElementText(image));
    });
    return ok;
}

void cAssetSerializer::processEmitters(TiXmlElement* emitterList) {
    cOverlayFXMgr* layer = manager()->particleLayer;
    forEachChild(emitterList, "emitter", [&](TiXmlElement* element) {
        const int32_t id = getAttributeInt(element, "id", -1);
        const std::string file = getAttributeString(element, "name", "INVALID_EMITTER_FILE");
        const int32_t blend = getAttributeInt(element, "blend", 1);
        const std::string key = "DYN_" + file;
        // Weapon emitters live as long as the particle layer and are shared by every weapon that
        // names the same image; the first weapon's blend wins.
        cEmitter* emitter = layer->findEmitter(key);
        if (!emitter) {
            emitter = new cEmitter(kScreenWidth, kScreenHeight);
            emitter->setup(key, file, blend);
            layer->addEmitter(emitter);
        }
        emitters.emplace_back(id, emitter);
    });
}

void cAssetSerializer::processShotTypes(TiXmlElement* shotTypes) {
    asset->switchPosX = getAttributeInt(shotTypes, "switchPosX", -100);
    asset->switchPosY = getAttributeInt(shotTypes, "switchPosY", -100);
    auto enabled = [shotTypes](const char* name) {
        return shotTypes && getElementText(shotTypes->FirstChildElement(name)) == "1";
    };
    asset->singleEnabled = enabled("single");
    asset->burstEnabled = enabled("burst");
    asset->autoEnabled = enabled("auto");
}

bool cAssetSerializer::processSounds(TiXmlElement* sounds) {
    bool ok = true;
    forEachChild(sounds, "sound", [&](TiXmlElement* sound) {
        if (!ok) return;
        const int32_t id = getAttributeInt(sound, "id", -1);
        const int32_t offset = getAttributeInt(sound, "offset", 0);
        if (id < 0 || id >= kSoundSlotCount) {
            logError("QEL::cAssetSerializer::processSounds", "TOO MANY ANIMATIONS!");
            return;
        }
        ok = manager()->loadSoundIntoSlot(id, offset, 2, getElementText(sound));
    });
    return ok;
}

void cAssetSerializer::processEjectCartridge(TiXmlElement* eject) {
    cAssetMgr* mgr = manager();
    const int32_t image = getAttributeInt(eject, "image", -1);
    const int32_t scale = getAttributeInt(eject, "scale", -1);
    // The default slot stands in for missing backgrounds: cartridges never take it over.
    if (eject && image >= 0 && image < kImageSlotCount && scale > 1) {
        mgr->ejector->setup(mgr->imageSlot(image), scale);
    } else {
        mgr->ejector->reset();
    }
}

void cAssetSerializer::processAmmo(TiXmlElement* ammo) {
    cAssetMgr* mgr = manager();
    const int32_t count = getAttributeInt(ammo, "count", 0);
    if (count < 1) {
        mgr->magazineSize = 0;
        mgr->roundsLeft = -1;
        asset->ammoImage = nullptr;
        return;
    }
    QuadSet* rounds = mgr->setAmmo(count, getAttributeInt(ammo, "img", -1));
    if (!rounds) return;
    rounds->unlock();
    const float screenW = rounds->getScreenWidth();
    const float screenH = rounds->getScreenHeight();
    forEachChild(ammo, "bullet", [&](TiXmlElement* bullet) {
        const int32_t id = getAttributeInt(bullet, "id", -1);
        Quad* quad = id >= 0 ? rounds->getQuad(static_cast<uint32_t>(id)) : nullptr;
        if (!quad) {
            logWarning("QEL::cAssetSerializer::processAmmo", "Bullet quad not found!");
            return;
        }
        const float x = static_cast<float>(getAttributeInt(bullet, "x", 0));
        const float y = static_cast<float>(getAttributeInt(bullet, "y", 0));
        quad->position = FloatCoords(x / screenW * 2.0f - 1.0f, (screenH - y) / screenH * 2.0f - 1.0f,
                                     rounds->getTextureWidth() / screenW, rounds->getTextureHeight() / screenH);
        quad->angle = static_cast<float>(getAttributeInt(bullet, "rot", 0));
    });
    rounds->rebuild();
}

// ---------------------------------------------------------------------------------------------
// Animations and frames

cEmitter* cAssetSerializer::getEmitter(int32_t id) {
    for (const auto& entry : emitters) {
        if (entry.first == id) return entry.second;
    }
    logError("QEL::cAssetSerializer::getEmitter", "[assetSerializer] A frame requested an emitter with ID ", id,
             " but it was not found!  This will almost certainly cause a crash!");
    return nullptr;
}

void cAssetSerializer::processAnimation(TiXmlElement* element) {
    cAssetMgr* mgr = manager();
    const std::string name = getAttributeString(element, "name", "");
    const int32_t frameCount = getAttributeInt(element, "frameCount", 0);
    const int32_t bg = getAttributeInt(element, "bg", -1);
    const int32_t sound = getAttributeInt(element, "sound", -1);
    cAnimation* animation = new cAnimation(mgr->imageSlot(bg), frameCount, name);

    // The animation's sound sits on the one frame whose number is the slot's offset.
    const bool hasSound = sound >= 0 && sound < kSoundSlotCount;
    const int32_t offset = hasSound ? mgr->soundOffsets[sound] : -1;
    int32_t frameNumber = 0;
    forEachChild(element, "frame", [&](TiXmlElement* frameElement) {
        cAnimFrame* frame = processFrame(frameElement, animation, frameNumber++, hasSound ? sound : -1, offset);
        animation->frames.push_back(frame);
        if (frame->eject) animation->hasEject = true;
    });
    asset->addAnimation(animation);
}

cAnimFrame* cAssetSerializer::processFrame(TiXmlElement* element, cAnimation* animation, int32_t frameNumber,
                                           int32_t soundSlot, int32_t soundOffset) {
    cAssetMgr* mgr = manager();
    cAnimFrame* frame = new cAnimFrame();
    frame->animation = animation;
    frame->x = getAttributeFloat(element, "x", 0.0f);
    frame->y = getAttributeFloat(element, "y", 0.0f);
    frame->rot = getAttributeFloat(element, "rot", 0.0f);
    frame->image = mgr->imageSlot(getAttributeInt(element, "img", -1));
    const int32_t blend = getAttributeInt(element, "blend", 0);
    frame->netSend = getAttributeInt(element, "netSend", 0);
    frame->lit = getAttributeBool(element, "lit");
    const int32_t frameSound = getAttributeInt(element, "sound", -1);
    const int32_t n = getAttributeInt(element, "n", -1);

    frame->blendMode = kBlendOpaque;
    if (frame->image->getHasTexture() && frame->image->getTextureHasAlpha()) frame->blendMode = kBlendAlpha;
    if (blend == 1) frame->blendMode = kBlendAdditive;
    if (blend == 2) frame->blendMode = kBlendMultiply;

    if (soundSlot >= 0 && frameNumber == soundOffset) {
        cSoundSlot* slot = mgr->soundSlots[soundSlot];
        frame->sound = slot->hasVariants() ? slot : nullptr;
        if (frameSound != -1) {
            logError("QEL::cAssetSerializer::processAnimation",
                     "Frame and animation sounds are colliding!!\n Ignoring frame sound for  ANIMATION: ",
                     animation->name, " FRAME: ", n, "\n");
        }
    } else if (frameSound >= 0 && frameSound < kSoundSlotCount && mgr->soundSlots[frameSound]->hasVariants()) {
        frame->sound = mgr->soundSlots[frameSound];
    }

    if (TiXmlElement* eject = element->FirstChildElement("eject")) {
        frame->eject = true;
        frame->ejectNum = static_cast<int16_t>(getAttributeInt(eject, "num", 0));
        frame->ejectX = getAttributeFloat(eject, "x", 0.0f);
        frame->ejectY = getAttributeFloat(eject, "y", 0.0f);
        frame->ejectRot = getAttributeFloat(eject, "rot", 0.0f);
    }

    forEachChild(element, "spawn", [&](TiXmlElement* spawn) {
        cSpawnRecord record;
        record.count = getAttributeInt(spawn, "n", 1);
        if (record.count < 1) {
            logError("QEL::cAssetSerializer::processAnimation",
                     "[assetSerializer] A spawning particle was found with a less than 1 spawn count???");
        }
        record.emitter = getEmitter(getAttributeInt(spawn, "e", -1));
        record.x = getAttributeFloat(spawn, "x", 0.0f);
        record.y = getAttributeFloat(spawn, "y", 0.0f);
        record.ms = getAttributeInt(spawn, "ms", 100);
        record.sc = getAttributeFloat(spawn, "sc", 100.0f);
        record.sa = getAttributeFloat(spawn, "sa", 0.0f);
        record.rMn = getAttributeFloat(spawn, "rMn", 0.0f);
        record.rMx = getAttributeFloat(spawn, "rMx", 0.0f);
        record.iRot = getAttributeFloat(spawn, "iRot", 0.0f);
        record.ang = getAttributeFloat(spawn, "ang", 0.0f);
        record.rg = getAttributeFloat(spawn, "rg", 0.0f);
        record.gX = getAttributeFloat(spawn, "gX", 0.0f);
        record.gY = getAttributeFloat(spawn, "gY", 0.0f);
        record.sp = getAttributeFloat(spawn, "sp", 0.0f);
        record.fr = getAttributeFloat(spawn, "fr", 0.0f);
        frame->spawns.push_back(record);
    });
    return frame;
}

// ---------------------------------------------------------------------------------------------
// <custom>

bool cAssetSerializer::processCustom(TiXmlElement* custom) {
    if (!custom) return true;
    auto text = [custom](const char* name, bool& present) {
        TiXmlElement* element = custom->FirstChildElement(name);
        present = element != nullptr;
        return getElementText(element);
    };
    bool present = false;

    std::string value = text("forceStartingMode", present);
    if (value == "burst") asset->forceStartingMode = kFireModeBurst;
    if (value == "single") asset->forceStartingMode = kFireModeSingle;

    value = text("light", present);
    if (present) asset->light = value == "off" ? kLightOff : value == "controlled" ? kLightControlled : kLightEveryShot;

    if (TiXmlElement* fill = custom->FirstChildElement("fillColor")) {
        value = getElementText(fill);
        if (value == "black") {
            fillColor = intColor(0, 0, 0, 0);
        } else if (value == "skyBlue") {
            fillColor = intColor(105, 156, 230, 0);
        } else if (value.empty()) {
            fillColor = intColor(getAttributeInt(fill, "r", 0), getAttributeInt(fill, "g", 0),
                                 getAttributeInt(fill, "b", 0), getAttributeInt(fill, "a", 0));
        }
    }

    value = text("enableCartridgeDroppingSound", present);
    if (textIsOneOf(value, "false", "0")) manager()->ejector->dropSoundEnabled = false;

    value = text("landscapeMode", present);
    if (textIsOneOf(value, "false", "0")) asset->landscapeMode = false;
    value = text("portraitMode", present);
    if (textIsOneOf(value, "true", "1")) asset->landscapeMode = false;

    value = text("drawBackground", present);
    if (present) {
        asset->drawBackground = value != "false";
        asset->backgroundBlend = value == "blendAlpha" ? kBlendAlpha : kBlendOpaque;
    }
    return true;
}

bool cAssetSerializer::processCustomPost(TiXmlElement* custom) {
    if (!custom) return true;
    const char* fn = "QEL::cAssetSerializer::processCustomPost";
    auto element = [custom](const char* name) { return custom->FirstChildElement(name); };

    if (getElementText(element("allowSoundOverlap")) == "true") asset->allowSoundOverlap = true;

    if (TiXmlElement* order = element("drawOrder")) {
        const std::string value = getElementText(order);
        if (value == "particlesBack") {
            asset->drawOrder = kParticlesBack;
        } else if (value == "particlesOverBG") {
            asset->drawOrder = kParticlesOverBackground;
        } else if (value == "particlesFront") {
            asset->drawOrder = kParticlesFront;
        } else {
            logStatus("WARNING: Custom XML value for <drawOrder> is invalid.");
            asset->drawOrder = kParticlesFront;
        }
    }

    if (TiXmlElement* charge = element("firstShotIsCharge")) {
        const std::string target = getElementText(charge);
        cAnimation* base = asset->findAnimation("firstShot");
        if (!base) {
            logError(fn, "ERROR: The custom XML <firstShotIsCharge> is invalid, because there is no firstShot animation!");
            return false;
        }
        cAnimation* linked = asset->findAnimation(target);
        if (!linked) {
            logError(fn, "ERROR: The custom XML <firstShotIsCharge> is invalid, because there is no animation named '",
                     target, "' !");
            return false;
        }
        base->linked = linked;
        asset->firstShotIsCharge = true;
    }

    if (TiXmlElement* windDown = element("windDownInterruptsTo")) {
        const std::string target = getElementText(windDown);
        cAnimation* base = asset->findAnimation("windDown");
        if (!base) {
            logError(fn, "ERROR: The custom XML <windDownInterruptsTo> is invalid, because there is no windDown animation!");
            return false;
        }
        cAnimation* linked = asset->findAnimation(target);
        if (!linked) {
            logError(fn, "ERROR: The custom XML <windDownInterruptsTo> is invalid, because there is no animation named '",
                     target, "' !");
            return false;
        }
        base->linked = linked;
        asset->windDownInterrupts = true;
    }

    if (TiXmlElement* gravity = element("gravity")) {
        asset->gravityX = getAttributeFloat(gravity, "x", 0.0f);
        asset->gravityY = getAttributeFloat(gravity, "y", 0.0f);
    }
    if (textIsOneOf(getElementText(element("ejectGivesMomentum")), "false", "0")) asset->ejectGivesMomentum = false;
    if (textIsOneOf(getElementText(element("ejectGivesRotation")), "false", "0")) asset->ejectGivesRotation = false;
    return true;
}

}  // namespace QEL

// ---------------------------------------------------------------------------------------------
// The names read above, for tools that vet weapon files

namespace QEL {

const std::vector<weaponFileElement>& weaponFileNames() {
    static const std::vector<weaponFileElement> names = {
        {"kablixWeapon", {"name", "allowInterrupt", "allowSoundOverlap"},
         {"custom", "images", "emitters", "shotTypes", "sounds", "ejectCartridge", "ammo", "animations"}},
        {"custom", {},
         {"forceStartingMode", "light", "fillColor", "enableCartridgeDroppingSound", "landscapeMode", "portraitMode",
          "drawBackground", "allowSoundOverlap", "drawOrder", "firstShotIsCharge", "windDownInterruptsTo", "gravity",
          "ejectGivesMomentum", "ejectGivesRotation"}},
        {"forceStartingMode", {}, {}},
        {"light", {}, {}},
        {"fillColor", {"r", "g", "b", "a"}, {}},
        {"enableCartridgeDroppingSound", {}, {}},
        {"landscapeMode", {}, {}},
        {"portraitMode", {}, {}},
        {"drawBackground", {}, {}},
        {"allowSoundOverlap", {}, {}},
        {"drawOrder", {}, {}},
        {"firstShotIsCharge", {}, {}},
        {"windDownInterruptsTo", {}, {}},
        {"gravity", {"x", "y"}, {}},
        {"ejectGivesMomentum", {}, {}},
        {"ejectGivesRotation", {}, {}},
        {"images", {}, {"image"}},
        {"image", {"id"}, {}},
        {"emitters", {}, {"emitter"}},
        {"emitter", {"id", "name", "blend"}, {}},
        {"shotTypes", {"switchPosX", "switchPosY"}, {"single", "burst", "auto"}},
        {"single", {}, {}},
        {"burst", {}, {}},
        {"auto", {}, {}},
        {"sounds", {}, {"sound"}},
        {"sound", {"id", "offset"}, {}},
        {"ejectCartridge", {"image", "scale"}, {}},
        {"ammo", {"count", "img"}, {"bullet"}},
        {"bullet", {"id", "x", "y", "rot"}, {}},
        {"animations", {}, {"animation"}},
        {"animation", {"name", "frameCount", "bg", "sound"}, {"frame"}},
        {"frame", {"x", "y", "rot", "img", "blend", "netSend", "lit", "sound", "n"}, {"eject", "spawn"}},
        {"eject", {"num", "x", "y", "rot"}, {}},
        {"spawn", {"n", "e", "x", "y", "ms", "sc", "sa", "rMn", "rMx", "iRot", "ang", "rg", "gX", "gY", "sp", "fr"}, {}},
    };
    return names;
}

const std::vector<customSettingTexts>& customSettingValues() {
    static const std::vector<customSettingTexts> values = {
        {"forceStartingMode", {"burst", "single"}},
        {"fillColor", {"black", "skyBlue"}},
        {"enableCartridgeDroppingSound", {"false", "0"}},
        {"landscapeMode", {"false", "0"}},
        {"portraitMode", {"true", "1"}},
        {"drawBackground", {"false", "blendAlpha"}},
        {"allowSoundOverlap", {"true"}},
        {"drawOrder", {"particlesBack", "particlesOverBG", "particlesFront"}},
        {"ejectGivesMomentum", {"false", "0"}},
        {"ejectGivesRotation", {"false", "0"}},
    };
    return values;
}

}  // namespace QEL
