// The event recorder of the weapon in hand: each event is logged at once as an event line
// ("   E: <name> data1: <n> data2: <n>") and, idle events aside, kept until the weapon is put down,
// when the kept events go to the score database as one batch. Owned by cAssetMgr; owns the
// database connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "stats/ScoreEvent.h"

namespace QEL {

class scoreDatabase;

class weaponEvents {
public:
    // The score database at `databasePath` is opened now.
    explicit weaponEvents(const std::string& databasePath);
    ~weaponEvents();
    weaponEvents(const weaponEvents&) = delete;
    weaponEvents& operator=(const weaponEvents&) = delete;

    // Logs the event line (unless `logged` is false: the network's log budget is spent) and keeps
    // the event. Received hits are summed into one event, so that a flood of them takes no memory.
    // An event recorded while another is being recorded (an event line that makes another) is dropped.
    void record(int32_t type, int32_t data1, int32_t data2, bool logged = true);
    // Stores the kept events as weapon `name`'s and empties the list; true when everything was
    // written (what was not is kept pending by the database).
    bool store(const std::string& name);
    // Drops the kept events: they belong to no weapon (none was in hand, or it was only looked
    // at). Batches left pending by earlier stores still go in when `storePending` is set.
    void drop(bool storePending);

private:
    void addToHitTally(int32_t damage);

    bool recording = false;
    size_t hitTally = SIZE_MAX;  // index in `events` of the received hits' tally
    std::vector<ScoreEvent> events;
    std::unique_ptr<scoreDatabase> scores;
};

}  // namespace QEL
