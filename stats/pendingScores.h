// Score batches that wait to be stored, and the side file that keeps them across runs.
// A batch holds the counts of one load of one weapon, under that weapon's name. The side file
// ("scores.db.pending" beside the database) is replaced as a whole, atomically, so a run that ends
// at any moment leaves either the old or the new list.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace QEL {

// The counters of a row of the score table, in its column order (the name comes first there).
enum ScoreColumn : int {
    colSingleShot, colBurstShot, colAutoShot, colInterruptedShot, colEmptyShot, colReload,
    colModeSwitch, colIdled, colHit, colDamageTaken, colUsed, colDeaths, kScoreColumnCount
};
extern const char* const kScoreColumns[kScoreColumnCount];
using ScoreCounts = std::array<int64_t, kScoreColumnCount>;

struct PendingBatch {
    // Empty until the batch is first written to the side file; from then on the database records
    // it with the counts, so the same batch is never added twice.
    std::string id;
    std::string weaponName;
    ScoreCounts counts{};
};

// The batches in the side file at `path`; none when it is missing. Lines that cannot be read
// (only another program writes those) are skipped.
std::vector<PendingBatch> readPendingFile(const std::string& path);

// Replaces the side file with `batches` (a temporary file, flushed to the disk, then renamed over
// it), first giving every batch without an id a new one. Returns "" on success, else the reason.
std::string writePendingFile(const std::string& path, std::vector<PendingBatch>& batches);

}  // namespace QEL
