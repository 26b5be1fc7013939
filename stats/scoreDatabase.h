// The score database: one row per weapon name in ../assets/scores.db with thirteen counters.
// cAssetMgr::storeEventsToDB() forwards here whenever a weapon is put down.
#pragma once

#include <string>
#include <vector>

#include "stats/ScoreEvent.h"

namespace QEL {

// Adds `events` to the counters of `weaponName` (the row is created on first use) and empties
// the list. The whole batch is written in one transaction: when storing fails nothing of it is
// applied and the events stay in the list for the next call. Without a weapon the events are
// discarded. Returns true when the counters were written.
bool storeEventsToDatabase(bool weaponLoaded, const std::string& weaponName, std::vector<ScoreEvent>& events);

}  // namespace QEL
