#include "weapon/weaponEvents.h"

#include <cstdlib>
#include <iostream>

#include "stats/scoreDatabase.h"

namespace QEL {

weaponEvents::weaponEvents(const std::string& databasePath) : scores(std::make_unique<scoreDatabase>(databasePath)) {}

weaponEvents::~weaponEvents() = default;

void weaponEvents::record(int32_t type, int32_t data1, int32_t data2, bool logged) {
    if (recording) return;
    recording = true;
    if (logged) {
        std::cout << "   E: " << eventLogName(type) << " data1: " << data1 << " data2: " << data2 << std::endl
                  << std::flush;
    }
    if (type == eventIncomingHit) {
        addToHitTally(data2);
    } else if (type != eventIdled) {
        events.push_back(ScoreEvent{type, data1, data2});
    }
    recording = false;
}

// One tally event per batch; a new one starts when the batch was stored or the tally is full.
void weaponEvents::addToHitTally(int32_t damage) {
    const bool open = hitTally < events.size() && events[hitTally].type == eventIncomingHits &&
                      events[hitTally].data1 < INT32_MAX && std::abs(events[hitTally].data2) < (1 << 30);
    if (!open) {
        hitTally = events.size();
        events.push_back(ScoreEvent{eventIncomingHits, 0, 0});
    }
    events[hitTally].data1 += 1;
    events[hitTally].data2 += damage;
}

bool weaponEvents::store(const std::string& name) { return scores->store(name, events); }

void weaponEvents::drop(bool storePending) {
    events.clear();
    if (storePending) scores->storePending();
}

}  // namespace QEL
