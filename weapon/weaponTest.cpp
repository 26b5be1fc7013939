#include "weapon/weaponTest.h"

#include "base/assetPath.h"
#include "base/log.h"
#include "weapon/weaponFormat.h"

namespace QEL {

namespace {

const char* const kProcessRoot = "QEL::weaponTest::processRoot";

bool fileExists(const assetPlace& place, const std::string& base, const char* extension, const char* kind) {
    if (place.has(base + "." + extension)) return true;
    logError(kProcessRoot, kind, " NOT FOUND: ", base, ".", extension);
    return false;
}

// An image text names its file with a three-letter extension, which is dropped: the image is always
// looked up as a PNG, so gun.png and gun.jpg both need gun.png. A text too short to carry an
// extension names no file.
bool imageExists(const assetPlace& place, TiXmlElement* image) {
    const std::string text = getElementText(image);
    if (text.size() >= 4) return fileExists(place, text.substr(0, text.size() - 4), "png", "IMAGE");
    logError(kProcessRoot, "IMAGE NOT FOUND: ", text, ".png");
    return false;
}

// The check's own stand-in for a missing name, which its log line has always shown.
bool emitterImageExists(const assetPlace& place, TiXmlElement* emitter) {
    return fileExists(place, getAttributeString(emitter, "name", "INVALID_FILE_NAME"), "png", "IMAGE");
}

bool soundExists(const assetPlace& place, TiXmlElement* sound) {
    const std::string file = soundFileName(getElementText(sound), place);
    if (place.has(file)) return true;
    logError(kProcessRoot, "SOUND NOT FOUND: ", file);
    return false;
}

// Whether every child of `parent` that the rule `name` describes passes `exists`; the check stops
// at the first that does not, which `exists` has logged.
bool allExist(const assetPlace& place, TiXmlElement* parent, const char* name,
              bool (*exists)(const assetPlace&, TiXmlElement*)) {
    bool found = true;
    forEachChild(parent, weaponRule(name), [&](TiXmlElement* child) { found = found && exists(place, child); });
    return found;
}

displayFlags readDisplayFlags(TiXmlElement* custom) {
    displayFlags flags;
    if (!custom) return flags;
    const elementRule& background = weaponRule("drawBackground");
    flags.backgroundOff = ruledElement(custom->FirstChildElement(background.name), background).content() != nullptr;
    // Only the words count here, not 0 and 1 as in the reader: the flag has always been read so.
    flags.portraitDisplay = getElementText(custom->FirstChildElement("landscapeMode")) == "false" ||
                            getElementText(custom->FirstChildElement("portraitMode")) == "true";
    return flags;
}

}  // namespace

bool weaponTest::processRoot(TiXmlElement* root) {
    if (!root || std::string(root->Value()) != "kablixWeapon") {
        logError(kProcessRoot, "Invalid rules file. Missing <kablixWeapon> element");
        return false;
    }
    // The loader would go on without these; the check does not let such a weapon through.
    const ruledElement weapon(root, weaponRule("kablixWeapon"));
    if (weapon.text("name").empty()) {
        logWarning(kProcessRoot, "Name not specified in <kablixWeapon> element.");
        return false;
    }
    if (weapon.text("allowInterrupt").empty()) {
        logWarning(kProcessRoot, "allowInterrupt not specified in <kablixWeapon> element.");
        return false;
    }
    TiXmlElement* images = root->FirstChildElement("images");
    if (!images) {
        logWarning(kProcessRoot, "<images> element note specified.");
        return false;
    }
    if (!allExist(place, images, "image", imageExists) ||
        !allExist(place, root->FirstChildElement("emitters"), "emitter", emitterImageExists) ||
        !allExist(place, root->FirstChildElement("sounds"), "sound", soundExists)) {
        return false;
    }
    flags = readDisplayFlags(root->FirstChildElement("custom"));
    return true;
}

checkedWeapon testWeapon(const std::string& name) {
    checkedWeapon result;
    result.name = name;
    result.place = placeOfWeapon(name);
    const std::string file = result.place.path(weaponBaseName(name) + ".xml");
    if (!assetPathExists(file)) {
        logStatus("XML for ", name, " was not found.");
        return result;
    }
    weaponTest check(result.place);
    TiXmlDocument* document = nullptr;
    result.passed = check.loadXML(file, &document);
    result.document.reset(document);
    if (result.passed) result.flags = check.flags;
    return result;
}

}  // namespace QEL
