// The score database: one row per weapon name in ../assets/scores.db with twelve counters.
// The weapon manager owns one scoreDatabase and hands it the events of each weapon it puts down.
//
// Nothing handed over is lost or lands on another weapon's row: a batch that cannot be stored
// (the file is locked, the disk is full, ...) stays pending under its own weapon's name, in
// memory and in the side file "scores.db.pending", and goes in with the next store that succeeds,
// in this run or a later one. A damaged file, or one whose score table has another shape, is
// renamed aside and replaced by a new database holding every count that could still be read.
#pragma once

#include <string>
#include <vector>

#include "stats/ScoreEvent.h"
#include "stats/pendingScores.h"

typedef struct sqlite3 sqlite3;

namespace QEL {

// How long every connection waits for another program's lock: long enough to outlast a short
// write, short enough that a weapon switch does not visibly stall.
constexpr int kScoreBusyTimeoutMs = 400;

class scoreDatabase {
public:
    // `path`: the database file; the side file is `path` + ".pending".
    explicit scoreDatabase(std::string path);

    // Adds `events` as one batch of `weaponName` (its row is created on first use), empties the
    // list and stores it with every batch still pending. True when all of them were written.
    bool store(const std::string& weaponName, std::vector<ScoreEvent>& events);
    // Stores the batches still pending, from this run or an earlier one; true when none is left.
    bool storePending();

private:
    bool flush();
    int writeChecked(sqlite3*& db, std::vector<std::string>& added, std::string& error);
    bool replaceFile(sqlite3*& db, bool damaged, const std::string& why, std::string& error);
    void keepPending();

    std::string path;
    std::string sidePath;
    std::vector<PendingBatch> pending;
};

}  // namespace QEL
