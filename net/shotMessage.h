// The wire format of the one message of our own, ID_SHOT, and the rule that carries the sender's
// team inside a shot number. Pure functions: the peer link and the team modes use them, and the
// tests check them byte for byte.
//
// ID_SHOT:  byte 0     message identifier 132
//           bytes 1-2  length L of the text, unsigned 16-bit, most significant byte first
//           bytes 3…   the shot number as decimal text (a leading "-" when negative), no terminator
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/teamMode.h"

namespace QEL {

constexpr uint8_t kShotMessageId = 132;
// "-2147483648" is the longest text an int32 gives.
constexpr size_t kShotTextMax = 11;
constexpr size_t kShotMessageMax = 3 + kShotTextMax;

struct ShotMessage {
    uint8_t bytes[kShotMessageMax];
    size_t size;
};

// The bytes of ID_SHOT for `shotNumber`; `text` receives the decimal text (as "%d" writes it).
ShotMessage encodeShotMessage(int32_t shotNumber, std::string& text);

// Reads the ID_SHOT of `length` bytes at `data` (identifier included). Never reads past
// data + length. True with the text and its value when the message is whole and its text is a
// decimal int32; false, with an empty text and 0, when it is cut short, its length field runs
// past the end, or the text is anything else (such a shot cannot be read and counts as shot 0).
bool decodeShotMessage(const uint8_t* data, size_t length, std::string& text, int32_t& shotNumber);

// Teams travel in shot numbers as an added multiple of 10000: mode 2 (team 1) adds 10000,
// mode 3 adds 20000, mode 4 adds 30000; open play (0) and networking off (1) add nothing.
constexpr int32_t kTeamSpan = 10000;
int32_t teamOffset(TeamMode multiplayerMode);
// Shot numbers from 10000 up would be read back as another team's shot.
inline bool shotCanCarryTeam(int32_t shotNumber) { return shotNumber < kTeamSpan; }
inline int32_t tagShot(int32_t shotNumber, TeamMode multiplayerMode) {
    return shotNumber + teamOffset(multiplayerMode);
}

// A received number split into the sender's team mode (2 to 4, or -1 when it carries none) and
// the shot number proper. Ranges, first match wins: 10001-19999 team mode 2, 20001-29999 team
// mode 3, above 30000 team mode 4; anything else (10000, 20000, 30000, 0 and below) no team.
struct ReceivedShot {
    int32_t team;
    int32_t shotNumber;
};
ReceivedShot untagShot(int32_t received);

// True when a received, non-zero number hurts the local player in `localMode`: only a shot from
// the player's own team does not. `shotNumber` receives the untagged number.
bool shotHitsPlayer(int32_t received, TeamMode localMode, int32_t& shotNumber);

}  // namespace QEL
