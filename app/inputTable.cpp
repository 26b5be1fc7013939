#include "app/inputTable.h"

#include <SDL/SDL.h>

#include <cstdio>

namespace QEL {

namespace {

using A = InputAction;
using D = InputDevice;
using E = InputEdge;
using S = ShiftState;

InputBinding key(SDLKey k, A action, int32_t argument = 0, const char* inputs = nullptr, const char* help = nullptr,
                 S shift = S::any, E edge = E::press) {
    return {D::key, k, k, edge, shift, action, argument, inputs, help};
}

// Digit and letter keys name weapons without Shift and shots with it (keypad digits too, with it).
InputBinding keys(SDLKey first, SDLKey last, S shift, A action, const char* inputs = nullptr, const char* help = nullptr) {
    return {D::key, first, last, E::press, shift, action, 0, inputs, help};
}

InputBinding pad(D device, int32_t control, E edge, A action, const char* inputs = nullptr, const char* help = nullptr) {
    return {device, control, control, edge, S::any, action, 0, inputs, help};
}

// Gamepad controls as the Linux joystick driver numbers a common pad: buttons 0 to 3 the face
// buttons, 4 and 5 the shoulders, axis 5 the right trigger.
constexpr int32_t kPadFire = 0, kPadReload = 1, kPadMode = 2, kPadShield = 3, kPadPrevious = 4, kPadNext = 5;
constexpr int32_t kPadTriggerAxis = 5;

const std::vector<InputBinding> kBindings = {
    {D::mouseButton, 1, 255, E::press, S::any, A::pointerDown, 0, "mouse button",
     "fire (hold for automatic fire); on the mode switch: next fire mode"},
    {D::mouseButton, 1, 255, E::release, S::any, A::pointerUp, 0, nullptr, nullptr},
    pad(D::joyButton, kPadFire, E::press, A::triggerDown, "gamepad 0, axis 5",
        "fire as the mouse button does (the axis: pulled past half way)"),
    pad(D::joyButton, kPadFire, E::release, A::triggerUp),
    pad(D::joyAxis, kPadTriggerAxis, E::press, A::triggerDown),
    pad(D::joyAxis, kPadTriggerAxis, E::release, A::triggerUp),
    pad(D::joyButton, kPadReload, E::press, A::reload, "gamepad 1 2 3",
        "reload / next fire mode / raise the shield while held"),
    pad(D::joyButton, kPadMode, E::press, A::nextFireMode),
    pad(D::joyButton, kPadShield, E::press, A::shieldDown),
    pad(D::joyButton, kPadShield, E::release, A::shieldUp),
    pad(D::joyButton, kPadPrevious, E::press, A::previousWeapon, "gamepad 4 / 5",
        "the previous / next weapon of F12's list"),
    pad(D::joyButton, kPadNext, E::press, A::nextWeapon),
    key(SDLK_SPACE, A::nextFireMode, 0, "Space", "next fire mode"),
    key(SDLK_RETURN, A::reload, 0, "Return", "reload"),
    keys(SDLK_0, SDLK_9, S::up, A::pickWeapon, "0-9, a-z", "take up the weapon on that key of play/gunList.txt"),
    keys(SDLK_a, SDLK_z, S::up, A::pickWeapon),
    keys(SDLK_0, SDLK_9, S::held, A::simulatedHit, "Shift + 0-9, a-z",
         "be hit by the shot on the key's s entry (keypad: sk) of gunList.txt"),
    keys(SDLK_a, SDLK_z, S::held, A::simulatedHit),
    keys(SDLK_KP0, SDLK_KP9, S::held, A::simulatedHit),
    key(SDLK_LSHIFT, A::shiftDown),
    key(SDLK_RSHIFT, A::shiftDown),
    key(SDLK_LSHIFT, A::shiftUp, 0, nullptr, nullptr, S::any, E::release),
    key(SDLK_RSHIFT, A::shiftUp, 0, nullptr, nullptr, S::any, E::release),
    key(SDLK_F1, A::screenshot, 0, "F1", "write play/screenshot.png"),
    key(SDLK_F11, A::fullScreen, 0, "F11", "full screen on / off"),
    key(SDLK_F12, A::help, 0, "F12", "the weapon chooser over the picture (F12 or Escape closes it)"),
    // Argument 1: a page at a time.
    key(SDLK_UP, A::chooserUp, 0, "Up Down PgUp PgDn", "on F12's page: select the weapon (or a page) above / below"),
    key(SDLK_DOWN, A::chooserDown),
    key(SDLK_PAGEUP, A::chooserUp, 1),
    key(SDLK_PAGEDOWN, A::chooserDown, 1),
    {D::mouseButton, SDL_BUTTON_WHEELUP, SDL_BUTTON_WHEELUP, E::press, S::any, A::chooserUp, 0, "wheel, mouse press",
     "on F12's page: select the weapon above / below / pressed (nothing fires)"},
    {D::mouseButton, SDL_BUTTON_WHEELDOWN, SDL_BUTTON_WHEELDOWN, E::press, S::any, A::chooserDown, 0, nullptr, nullptr},
    {D::mouseButton, 1, 255, E::press, S::any, A::chooserPoint, 0, nullptr, nullptr},
    key(SDLK_RETURN, A::chooserTake, 0, "Return, Enter", "on F12's page: take up the selected weapon"),
    key(SDLK_KP_ENTER, A::chooserTake),
    key(SDLK_TAB, A::chooserKeys, 0, "Tab", "on F12's page: the keys / the weapons"),
    // The shake action numbers: 0 reload, 1 fire, 2 fire and reload, 3 nothing.
    key(SDLK_F2, A::chooseShake, 3, "F2 F3 F4 F5", "a shake does nothing / fires / reloads / fires and reloads"),
    key(SDLK_F3, A::chooseShake, 1),
    key(SDLK_F4, A::chooseShake, 0),
    key(SDLK_F5, A::chooseShake, 2),
    key(SDLK_F6, A::shake, 0, "F6, -", "shake"),
    key(SDLK_MINUS, A::shake),
    key(SDLK_EQUALS, A::statusMessage, 0, "=", "print a status message made from the counts in scores.db"),
    key(SDLK_COMMA, A::mirror, 0, ", . / \\", "mirror the picture: none / left-right / upside down / both"),
    key(SDLK_PERIOD, A::mirror, 1),
    key(SDLK_SLASH, A::mirror, 2),
    key(SDLK_BACKSLASH, A::mirror, 3),
    key(SDLK_KP0, A::networkMode, 0, "keypad 0 . 1 2 3", "networking: open play / off / team 1 / team 2 / team 3", S::up),
    key(SDLK_KP_PERIOD, A::networkMode, 1, nullptr, nullptr, S::up),
    key(SDLK_KP1, A::networkMode, 2, nullptr, nullptr, S::up),
    key(SDLK_KP2, A::networkMode, 3, nullptr, nullptr, S::up),
    key(SDLK_KP3, A::networkMode, 4, nullptr, nullptr, S::up),
    key(SDLK_KP_MULTIPLY, A::shieldDown, 0, "keypad * (held)",
        "raise the shield in a team game (or press along the top edge)", S::up),
    key(SDLK_KP_MULTIPLY, A::shieldUp, 0, nullptr, nullptr, S::any, E::release),
    key(SDLK_KP7, A::shotStats, 1, "keypad 7 / 4", "count shots in scores.db on / off", S::up),
    key(SDLK_KP4, A::shotStats, 0, nullptr, nullptr, S::up),
    key(SDLK_KP9, A::damage, 1, "keypad 9 / 6", "take damage on / off", S::up),
    key(SDLK_KP6, A::damage, 0, nullptr, nullptr, S::up),
    key(SDLK_KP8, A::debugLight, 0, "keypad 8", "debug light on / off", S::up),
    key(SDLK_ESCAPE, A::escape, 0, "Escape", "quit (the counts are stored); closes F12's page first"),
};

// Each help line: a row with a help text, named by its inputs.
template <class Line>
void forEachHelpLine(Line line) {
    for (const InputBinding& row : kBindings) {
        if (row.help) line(row.inputs, row.help);
    }
}

}  // namespace

const std::vector<InputBinding>& inputBindings() { return kBindings; }

bool bindingMatches(const InputBinding& row, InputDevice device, int32_t code, InputEdge edge, bool shiftHeld) {
    if (row.device != device || row.edge != edge || code < row.first || code > row.last) return false;
    return row.shift == ShiftState::any || (row.shift == ShiftState::held) == shiftHeld;
}

bool onPageOnly(InputAction action) {
    switch (action) {
    case InputAction::chooserUp:
    case InputAction::chooserDown:
    case InputAction::chooserPoint:
    case InputAction::chooserTake:
    case InputAction::chooserKeys: return true;
    default: return false;
    }
}

std::string inputHelp() {
    std::string table;
    char line[160];
    forEachHelpLine([&](const char* inputs, const char* help) {
        std::snprintf(line, sizeof line, "  %-18s %s\n", inputs, help);
        table += line;
    });
    return table;
}

std::string inputMarkdown() {
    std::string table = "| input | does |\n|---|---|\n";
    forEachHelpLine([&](const char* inputs, const char* help) {
        std::string escaped;
        for (const char* c = inputs; *c; ++c) escaped += *c == '\\' || *c == '|' ? std::string("\\") + *c : std::string(1, *c);
        table += "| " + escaped + " | " + help + " |\n";
    });
    return table;
}

}  // namespace QEL
