#include "weapon/cAssetSerializer.h"

#include "base/log.h"
#include "effects/cCartridgeEjector.h"
#include "effects/cEmitter.h"
#include "effects/overlayEffects.h"
#include "render/QuadSet.h"
#include "render/screen.h"
#include "weapon/cAsset.h"
#include "weapon/cAssetMgr.h"
#include "weapon/weaponLoadTarget.h"
#include "weapon/weaponFormat.h"

namespace QEL {

namespace {

// A <custom> setting, absent or not, read through its rule.
ruledElement setting(TiXmlElement* custom, const char* name) {
    return ruledElement(custom->FirstChildElement(name), weaponRule(name));
}

}  // namespace

bool cAssetSerializer::loadXML(cAsset* target, TiXmlDocument* document, weaponLoadTarget& into) {
    asset = target;
    slots = &into;
    if (!document) {
        logError("QEL::cAssetSerializer::loadXML", "Could not determine what weapon to load! (the last tested weapon)");
        return false;
    }
    return processDocument(document);
}

bool cAssetSerializer::processRoot(TiXmlElement* root) {
    emitters.clear();
    if (!root || std::string(root->Value()) != "kablixWeapon") {
        logError("QEL::cAssetSerializer::processRoot", "Invalid rules file. Missing <kablixWeapon> element");
        return false;
    }
    if (!asset || !slots) return false;
    logStatus("Parsing XML file...");

    const ruledElement weapon(root, weaponRule("kablixWeapon"));
    asset->name = weapon.text("name");
    if (asset->name.empty()) logWarning("QEL::cAssetSerializer::processRoot", "Name not specified in <kablixWeapon> element.");
    if (weapon.text("allowInterrupt").empty()) {
        logWarning("QEL::cAssetSerializer::processRoot", "allowInterrupt not specified in <kablixWeapon> element.");
    }
    asset->allowInterrupt = weapon.on("allowInterrupt");
    asset->allowSoundOverlap = weapon.on("allowSoundOverlap");

    fillColor = intColor(255, 255, 255, 0);
    asset->drawBackground = true;
    slots->cartridges().dropSoundEnabled = true;

    TiXmlElement* custom = root->FirstChildElement("custom");
    processCustom(custom);
    if (!processImages(root->FirstChildElement("images"))) return false;
    processEmitters(root->FirstChildElement("emitters"));
    processShotTypes(root->FirstChildElement("shotTypes"));
    if (!processSounds(root->FirstChildElement("sounds"))) return false;
    processEjectCartridge(root->FirstChildElement("ejectCartridge"));
    processAmmo(root->FirstChildElement("ammo"));
    forEachChild(root->FirstChildElement("animations"), weaponRule("animation"),
                 [this](TiXmlElement* animation) { processAnimation(animation); });
    if (!processCustomPost(custom)) return false;
    logStatus("[assetSerializer] SUCCESS!");
    return true;
}

bool cAssetSerializer::processImages(TiXmlElement* images) {
    bool ok = true;
    const elementRule& rule = weaponRule("image");
    forEachChild(images, rule, [&](TiXmlElement* image) {
        if (!ok) return;
        const int32_t id = ruledElement(image, rule).integer("id");
        if (id < 0 || id >= kImageSlots.count) {
            logError("QEL::cAssetSerializer::processImages", kImageSlots.skippedLine);
            return;
        }
        ok = slots->loadImageIntoSlot(id, fillColor, getElementText(image));
    });
    return ok;
}

void cAssetSerializer::processEmitters(TiXmlElement* emitterList) {
    const elementRule& rule = weaponRule("emitter");
    forEachChild(emitterList, rule, [&](TiXmlElement* element) {
        const ruledElement declared(element, rule);
        emitters.emplace_back(declared.integer("id"), slots->weaponEmitter(declared.text("name"), blendModeFromNumber(declared.integer("blend"))));
    });
}

void cAssetSerializer::processShotTypes(TiXmlElement* shotTypes) {
    const ruledElement types(shotTypes, weaponRule("shotTypes"));
    asset->switchPosX = types.integer("switchPosX");
    asset->switchPosY = types.integer("switchPosY");
    auto offered = [shotTypes](const char* mode) {
        return ruledElement(shotTypes ? shotTypes->FirstChildElement(mode) : nullptr, weaponRule(mode)).content();
    };
    asset->singleEnabled = offered("single");
    asset->burstEnabled = offered("burst");
    asset->autoEnabled = offered("auto");
}

bool cAssetSerializer::processSounds(TiXmlElement* sounds) {
    bool ok = true;
    const elementRule& rule = weaponRule("sound");
    forEachChild(sounds, rule, [&](TiXmlElement* element) {
        if (!ok) return;
        const ruledElement sound(element, rule);
        const int32_t id = sound.integer("id");
        if (id < 0 || id >= kSoundSlots.count) {
            logError("QEL::cAssetSerializer::processSounds", kSoundSlots.skippedLine);
            return;
        }
        ok = slots->loadSoundIntoSlot(id, sound.integer("offset"), 2, getElementText(element));
    });
    return ok;
}

void cAssetSerializer::processEjectCartridge(TiXmlElement* eject) {
    const ruledElement cartridge(eject, weaponRule("ejectCartridge"));
    const int32_t image = cartridge.integer("image");
    const int32_t scale = cartridge.integer("scale");
    // The default slot stands in for missing backgrounds: cartridges never take it over.
    if (eject && image >= 0 && image < kImageSlotCount && scale > 1) {
        slots->cartridges().setup(slots->imageSlot(image), scale);
    } else {
        slots->cartridges().reset();
    }
}

void cAssetSerializer::processAmmo(TiXmlElement* ammo) {
    const ruledElement magazine(ammo, weaponRule("ammo"));
    const int32_t count = magazine.integer("count");
    if (count < 1) {
        slots->setAmmo(0, -1);  // no magazine
        return;
    }
    QuadSet* rounds = slots->setAmmo(count, magazine.integer("img"));
    if (!rounds) return;
    rounds->unlock();
    const float screenW = rounds->getScreenWidth();
    const float screenH = rounds->getScreenHeight();
    const elementRule& rule = weaponRule("bullet");
    forEachChild(ammo, rule, [&](TiXmlElement* element) {
        const ruledElement bullet(element, rule);
        const int32_t id = bullet.integer("id");
        Quad* quad = id >= 0 ? rounds->getQuad(static_cast<uint32_t>(id)) : nullptr;
        if (!quad) {
            logWarning("QEL::cAssetSerializer::processAmmo", "Bullet quad not found!");
            return;
        }
        const float x = static_cast<float>(bullet.integer("x"));
        const float y = static_cast<float>(bullet.integer("y"));
        quad->position = FloatCoords(x / screenW * 2.0f - 1.0f, (screenH - y) / screenH * 2.0f - 1.0f,
                                     rounds->getTextureWidth() / screenW, rounds->getTextureHeight() / screenH);
        quad->angle = static_cast<float>(bullet.integer("rot"));
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
    const ruledElement read(element, weaponRule("animation"));
    const int32_t sound = read.integer("sound");
    cAnimation* animation = new cAnimation(slots->imageSlot(read.integer("bg")), read.integer("frameCount"),
                                           read.text("name"));

    // The animation's sound sits on the one frame whose number is the slot's offset.
    const bool hasSound = sound >= 0 && sound < kSoundSlotCount;
    const int32_t offset = hasSound ? slots->soundOffset(sound) : -1;
    int32_t frameNumber = 0;
    forEachChild(element, weaponRule("frame"), [&](TiXmlElement* frameElement) {
        cAnimFrame* frame = processFrame(frameElement, animation, frameNumber++, hasSound ? sound : -1, offset);
        animation->frames.push_back(frame);
        if (frame->eject) animation->hasEject = true;
    });
    asset->addAnimation(animation);
}

cAnimFrame* cAssetSerializer::processFrame(TiXmlElement* element, cAnimation* animation, int32_t frameNumber,
                                           int32_t soundSlot, int32_t soundOffset) {
    const ruledElement read(element, weaponRule("frame"));
    cAnimFrame* frame = new cAnimFrame();
    frame->animation = animation;
    frame->x = read.number("x");
    frame->y = read.number("y");
    frame->rot = read.number("rot");
    frame->image = slots->imageSlot(read.integer("img"));
    const int32_t blend = read.integer("blend");
    frame->netSend = read.integer("netSend");
    frame->lit = read.on("lit");
    const int32_t frameSound = read.integer("sound");

    frame->blendMode = BlendMode::opaque;
    if (frame->image->getHasTexture() && frame->image->getTextureHasAlpha()) frame->blendMode = BlendMode::alpha;
    if (blend == 1) frame->blendMode = BlendMode::additive;
    if (blend == 2) frame->blendMode = BlendMode::multiply;

    if (soundSlot >= 0 && frameNumber == soundOffset) {
        cSoundSlot* slot = slots->soundSlotAt(soundSlot);
        frame->sound = slot->hasVariants() ? slot : nullptr;
        if (frameSound != -1) {
            logError("QEL::cAssetSerializer::processAnimation",
                     "Frame and animation sounds are colliding!!\n Ignoring frame sound for  ANIMATION: ",
                     animation->name, " FRAME: ", read.integer("n"), "\n");
        }
    } else if (frameSound >= 0 && frameSound < kSoundSlotCount && slots->soundSlotAt(frameSound)->hasVariants()) {
        frame->sound = slots->soundSlotAt(frameSound);
    }

    const elementRule& ejectRule = weaponRule("eject");
    forEachChild(element, ejectRule, [&](TiXmlElement* ejectElement) {
        const ruledElement eject(ejectElement, ejectRule);
        frame->eject = true;
        frame->ejectNum = static_cast<int16_t>(eject.integer("num"));
        frame->ejectX = eject.number("x");
        frame->ejectY = eject.number("y");
        frame->ejectRot = eject.number("rot");
    });

    const elementRule& spawnRule = weaponRule("spawn");
    forEachChild(element, spawnRule, [&](TiXmlElement* spawnElement) {
        const ruledElement spawn(spawnElement, spawnRule);
        cSpawnRecord record;
        record.count = spawn.integer("n");
        if (record.count < 1) {
            logError("QEL::cAssetSerializer::processAnimation",
                     "[assetSerializer] A spawning particle was found with a less than 1 spawn count???");
        }
        record.emitter = getEmitter(spawn.integer("e"));
        record.x = spawn.number("x");
        record.y = spawn.number("y");
        record.ms = spawn.integer("ms");
        record.sc = spawn.number("sc");
        record.sa = spawn.number("sa");
        record.rMn = spawn.number("rMn");
        record.rMx = spawn.number("rMx");
        record.iRot = spawn.number("iRot");
        record.ang = spawn.number("ang");
        record.rg = spawn.number("rg");
        record.gX = spawn.number("gX");
        record.gY = spawn.number("gY");
        record.sp = spawn.number("sp");
        record.fr = spawn.number("fr");
        frame->spawns.push_back(record);
    });
    return frame;
}

// ---------------------------------------------------------------------------------------------
// <custom>: each setting's texts and what they set are in the weapon format's table.

bool cAssetSerializer::processCustom(TiXmlElement* custom) {
    if (!custom) return true;
    if (const textRule* mode = setting(custom, "forceStartingMode").content()) {
        asset->forceStartingMode = static_cast<FireMode>(mode->value);
    }
    if (const textRule* light = setting(custom, "light").content()) asset->light = static_cast<LightMode>(light->value);

    const ruledElement fill = setting(custom, "fillColor");
    if (const textRule* colour = fill.content()) {
        fillColor = intColor(colour->value >> 16 & 255, colour->value >> 8 & 255, colour->value & 255, 0);
    } else if (fill.element && getElementText(fill.element).empty()) {
        fillColor = intColor(fill.integer("r"), fill.integer("g"), fill.integer("b"), fill.integer("a"));
    }

    if (setting(custom, "enableCartridgeDroppingSound").content()) slots->cartridges().dropSoundEnabled = false;
    if (setting(custom, "landscapeMode").content()) asset->landscapeMode = false;
    if (setting(custom, "portraitMode").content()) asset->landscapeMode = false;

    const ruledElement background = setting(custom, "drawBackground");
    if (background.element) {
        const textRule* mode = background.content();
        asset->drawBackground = !mode || mode->value != 0;
        asset->backgroundBlend = mode && mode->value == static_cast<int32_t>(BlendMode::alpha) ? BlendMode::alpha : BlendMode::opaque;
    }
    return true;
}

bool cAssetSerializer::processCustomPost(TiXmlElement* custom) {
    if (!custom) return true;
    if (setting(custom, "allowSoundOverlap").content()) asset->allowSoundOverlap = true;

    const ruledElement order = setting(custom, "drawOrder");
    if (order.element) {
        const textRule* value = order.content();
        if (!value) logStatus("WARNING: Custom XML value for <drawOrder> is invalid.");
        asset->drawOrder = value ? static_cast<ParticleOrder>(value->value) : kParticlesFront;
    }

    if (!linkAnimation(custom->FirstChildElement("firstShotIsCharge"), "firstShot", asset->firstShotIsCharge) ||
        !linkAnimation(custom->FirstChildElement("windDownInterruptsTo"), "windDown", asset->windDownInterrupts)) {
        return false;
    }

    const ruledElement gravity = setting(custom, "gravity");
    if (gravity.element) {
        asset->gravityX = gravity.number("x");
        asset->gravityY = gravity.number("y");
    }
    if (setting(custom, "ejectGivesMomentum").content()) asset->ejectGivesMomentum = false;
    if (setting(custom, "ejectGivesRotation").content()) asset->ejectGivesRotation = false;
    return true;
}

// firstShotIsCharge and windDownInterruptsTo: `setting` links the animation `baseName` to the one
// its text names. Either animation missing refuses the weapon.
bool cAssetSerializer::linkAnimation(TiXmlElement* setting, const char* baseName, bool& linkedFlag) {
    if (!setting) return true;
    const char* fn = "QEL::cAssetSerializer::processCustomPost";
    const std::string target = getElementText(setting);
    const std::string invalid = std::string("ERROR: The custom XML <") + setting->Value() +
                                "> is invalid, because there is no ";
    cAnimation* base = asset->findAnimation(baseName);
    if (!base) {
        logError(fn, invalid, baseName, " animation!");
        return false;
    }
    cAnimation* linked = asset->findAnimation(target);
    if (!linked) {
        logError(fn, invalid, "animation named '", target, "' !");
        return false;
    }
    base->linked = linked;
    linkedFlag = true;
    return true;
}

}  // namespace QEL
