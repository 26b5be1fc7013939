#include "weapon/weaponEvents.h"

#include <iostream>

#include "stats/scoreDatabase.h"

namespace QEL {

weaponEvents::weaponEvents(const std::string& databasePath) : scores(std::make_unique<scoreDatabase>(databasePath)) {}

weaponEvents::~weaponEvents() = default;

void weaponEvents::record(int32_t type, int32_t data1, int32_t data2) {
    if (recording) return;
    recording = true;
    std::cout << "   E: " << eventLogName(type) << " data1: " << data1 << " data2: " << data2 << std::endl
              << std::flush;
    if (type != eventIdled) events.push_back(ScoreEvent{type, data1, data2});
    recording = false;
}

bool weaponEvents::store(const std::string& name) { return scores->store(name, events); }

void weaponEvents::drop(bool storePending) {
    events.clear();
    if (storePending) scores->storePending();
}

}  // namespace QEL
