// What the weapon manager records while a weapon is in hand: one event per shot, reload,
// mode switch, hit and so on. The score database adds a batch of them to the weapon's counters.
#pragma once

#include <cstdint>

namespace QEL {

// The values are stored meanings: keep them stable.
enum EventType : int32_t {
    eventIncomingHit = 0,      // data1: effect id of the hit, data2: damage taken
    eventReload = 1,           // data1: fire mode
    eventEmptyShot = 2,        // data1: fire mode
    eventShot = 3,             // data1: fire mode, data2: rounds fired
    eventSwitchedMode = 4,     // data1: fire mode after the switch
    eventInterruptedShot = 5,  // data1: fire mode
    eventIdled = 6,            // data1: fire mode; logged, never stored
    eventWeaponLoaded = 7,     // the weapon was taken up
    eventPlayerDeath = 8,
    eventIncomingHits = 9,     // received hits summed up: data1 their number, data2 the damage they took; never logged
};

// The weapon's fire modes, as events carry them; the manager holds kNoFireMode while none is offered.
enum FireMode : int32_t { kNoFireMode = -1, kFireModeSingle = 0, kFireModeBurst = 1, kFireModeAuto = 2 };

// Plain record, copied by value. `type` holds an EventType; unknown types count nothing.
struct ScoreEvent {
    int32_t type;
    int32_t data1;
    int32_t data2;
};

// The name used in the event log line; the weapon-loaded event has an empty name.
inline const char* eventLogName(int32_t type) {
    switch (type) {
        case eventIncomingHit: return "incomingHit";
        case eventReload: return "reload";
        case eventEmptyShot: return "emptyShot";
        case eventShot: return "shot";
        case eventSwitchedMode: return "switchedMode";
        case eventInterruptedShot: return "interruptedShot";
        case eventIdled: return "idled";
        case eventPlayerDeath: return "playerDeath";
        default: return "";
    }
}

}  // namespace QEL
