#include "weapon/weaponTest.h"

#include "base/assetPath.h"
#include "base/log.h"

namespace QEL {

TiXmlDocument* lastTestedDocument = nullptr;
std::string lastTestedWeaponName;
bool backgroundOff = false;
bool portraitDisplay = false;

namespace {

const char* const kProcessRoot = "QEL::weaponTest::processRoot";

// An image text names its file with a three-letter extension, which is dropped: the image is always
// looked up as a PNG, so gun.png and gun.jpg both need gun.png.
bool imagesExist(TiXmlElement* images) {
    for (TiXmlElement* image = images->FirstChildElement("image"); image;
         image = image->NextSiblingElement("image")) {
        const std::string text = getElementText(image);
        // A text too short to carry an extension cannot name an image file.
        if (text.size() < 4) {
            logError(kProcessRoot, "IMAGE NOT FOUND: ", text, ".png");
            return false;
        }
        const std::string base = text.substr(0, text.size() - 4);
        if (!assetFileExists(base, "png")) {
            logError(kProcessRoot, "IMAGE NOT FOUND: ", base, ".", "png");
            return false;
        }
    }
    return true;
}

bool emitterImagesExist(TiXmlElement* emitters) {
    if (!emitters) return true;
    for (TiXmlElement* emitter = emitters->FirstChildElement("emitter"); emitter;
         emitter = emitter->NextSiblingElement("emitter")) {
        const std::string name = getAttributeString(emitter, "name", "INVALID_FILE_NAME");
        if (!assetFileExists(name, "png")) {
            logError(kProcessRoot, "IMAGE NOT FOUND: ", name, ".", "png");
            return false;
        }
    }
    return true;
}

bool soundsExist(TiXmlElement* sounds) {
    if (!sounds) return true;
    for (TiXmlElement* sound = sounds->FirstChildElement("sound"); sound;
         sound = sound->NextSiblingElement("sound")) {
        const std::string text = getElementText(sound);
        if (!assetFileExists(text, "ogg")) {
            logError(kProcessRoot, "SOUND NOT FOUND: ", text, ".ogg");
            return false;
        }
    }
    return true;
}

std::string customText(TiXmlElement* custom, const char* setting) {
    return getElementText(custom->FirstChildElement(setting));
}

void readDisplayFlags(TiXmlElement* custom) {
    backgroundOff = false;
    portraitDisplay = false;
    if (!custom) return;
    const std::string background = customText(custom, "drawBackground");
    backgroundOff = background == "false" || background == "blendAlpha";
    portraitDisplay = customText(custom, "landscapeMode") == "false" || customText(custom, "portraitMode") == "true";
}

}  // namespace

bool weaponTest::processRoot(TiXmlElement* root) {
    if (!root || std::string(root->Value()) != "kablixWeapon") {
        logError(kProcessRoot, "Invalid rules file. Missing <kablixWeapon> element");
        return false;
    }
    // The loader would go on without these; the check does not let such a weapon through.
    if (getAttributeString(root, "name", "").empty()) {
        logWarning(kProcessRoot, "Name not specified in <kablixWeapon> element.");
        return false;
    }
    if (getAttributeString(root, "allowInterrupt", "").empty()) {
        logWarning(kProcessRoot, "allowInterrupt not specified in <kablixWeapon> element.");
        return false;
    }
    TiXmlElement* images = root->FirstChildElement("images");
    if (!images) {
        logWarning(kProcessRoot, "<images> element note specified.");
        return false;
    }
    if (!imagesExist(images)) return false;
    if (!emitterImagesExist(root->FirstChildElement("emitters"))) return false;
    if (!soundsExist(root->FirstChildElement("sounds"))) return false;
    readDisplayFlags(root->FirstChildElement("custom"));
    return true;
}

bool testWeapon(const std::string& name) {
    if (!assetFileExists(name, "xml")) {
        logStatus("XML for ", name, " was not found.");
        return false;
    }
    // The previous weapon's document goes before the check, so a rejected weapon leaves none behind.
    releaseLastTestedDocument();
    weaponTest check;
    bool passed = check.loadXML(assetPath(name, "xml"), &lastTestedDocument);
    lastTestedWeaponName = lastTestedDocument ? name : std::string();
    return passed;
}

void releaseLastTestedDocument() {
    delete lastTestedDocument;
    lastTestedDocument = nullptr;
    lastTestedWeaponName.clear();
}

}  // namespace QEL
