// The multiplayer mode: open play, networking off, or one of three teams. Its number is what the
// hello, the shot tags, the network badge and the log carry, so the values never change.
#pragma once

#include <cstdint>

namespace QEL {

enum class TeamMode : int32_t { openPlay = 0, offline = 1, team1 = 2, team2 = 3, team3 = 4 };

inline int32_t modeNumber(TeamMode mode) { return static_cast<int32_t>(mode); }

}  // namespace QEL
