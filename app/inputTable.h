// Every input the game acts on, one row each: the key, mouse button or gamepad control, the action
// it stands for and the help text. The main loop's dispatch, --help, the F12 page, the README's key
// table and the manual page (made from --help) all come from this one table, so a binding is
// added, moved or described in one place. A new device maps its controls onto these actions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace QEL {

// What an input makes the game do; a row's argument says which mode or setting where one is needed.
enum class InputAction {
    pointerDown,     // at the press's position: the fire-mode switch, the shield strip, else the trigger
    pointerUp,       // lets go of the trigger and the shield
    triggerDown,
    triggerUp,
    nextFireMode,
    reload,
    shieldDown,      // in a team game; while dead a press digs
    shieldUp,
    pickWeapon,      // the catalogue's weapon on the key pressed
    nextWeapon,      // the weapon after (or before) the one in hand in F12's list of every pack's weapons
    previousWeapon,
    simulatedHit,    // the shot on the key's "s" entry of the catalogue, as if a peer had sent it
    shake,
    chooseShake,     // argument: what a shake does (cApp::ShakeAction)
    statusMessage,
    mirror,          // argument: the mirror mode
    screenshot,
    fullScreen,
    help,
    escape,          // closes F12's page, else quits
    // While F12's page is open these come before every other row, and only the first that an input
    // matches is carried out; while it is closed they do nothing.
    chooserUp,       // the weapon above the selection; argument 1: a page above
    chooserDown,
    chooserPoint,    // the weapon on the line pressed; nothing fires
    chooserTake,     // takes up the selected weapon
    chooserKeys,     // the page shows the keys instead of the weapons, or back
    networkMode,     // argument: the multiplayer mode
    shotStats,       // argument: 1 on, 0 off
    damage,          // argument: 1 on, 0 off
    debugLight,
    shiftDown,
    shiftUp,
};

enum class InputDevice { key, mouseButton, joyButton, joyAxis };

// A press is a key or button going down or an axis moving past kAxisPressed; a release the
// opposite, an axis falling back below kAxisReleased. The gap keeps a trigger held near the
// threshold from firing over and over.
enum class InputEdge { press, release };
constexpr int32_t kAxisPressed = 16384;
constexpr int32_t kAxisReleased = 8192;

// Keys only: whether the row applies with a Shift key held, without, or either way.
enum class ShiftState { any, up, held };

struct InputBinding {
    InputDevice device;
    int32_t first, last;  // the key symbols, buttons or axes from first to last (SDL numbering)
    InputEdge edge;
    ShiftState shift;
    InputAction action;
    int32_t argument;
    const char* inputs;  // how the help names this row's inputs (and those of the unnamed rows after it)
    const char* help;    // null: the line of the row before covers this one
};

// The rows in the order the help lists them and the dispatch tries them: every row an input
// matches is carried out, in this order.
const std::vector<InputBinding>& inputBindings();

// Whether `row` stands for `code` (a key symbol, button or axis) of `device` at `edge`, with
// Shift held or not.
bool bindingMatches(const InputBinding& row, InputDevice device, int32_t code, InputEdge edge, bool shiftHeld);
// Whether `action` belongs to F12's page (see chooserUp).
bool onPageOnly(InputAction action);

// One "  INPUTS  HELP" line per help line of the table (what --help and F12 show).
std::string inputHelp();
// The same lines as the README's Markdown table, heading included.
std::string inputMarkdown();

}  // namespace QEL
