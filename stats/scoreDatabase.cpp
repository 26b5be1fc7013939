#include "stats/scoreDatabase.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>

#include "base/assetPath.h"
#include "base/log.h"
#include "stats/scoreFileCheck.h"

namespace QEL {

namespace {

const char* const kLogName = "QEL::cAssetMgr::storeEventsToDB";

const char* const kCreateTable =
    "CREATE TABLE IF NOT EXISTS score(name varchar(30), singleShot int, burstShot int, autoShot int, "
    "interruptedShot int, emptyShot int, reload int, modeSwitch int, idled int, hit int, damageTaken int, "
    "used int, deaths int, UNIQUE(name));";

// The weapon name is always the bound parameter ?1, so no name can change a statement.
const char* const kInsertRow =
    "INSERT OR ABORT INTO score(name, singleShot, burstShot, autoShot, interruptedShot, emptyShot, reload, "
    "modeSwitch, idled, hit, damageTaken, used, deaths) VALUES( ?1, 0,0,0,0,0,0,0,0,0,0,0,0);";

// Ids of the batches that were once in the side file and have been added since.
const char* const kCreateBatchTable = "CREATE TABLE IF NOT EXISTS storedBatch(id TEXT PRIMARY KEY);";
const char* const kRecordBatch = "INSERT OR IGNORE INTO storedBatch(id) VALUES(?1);";

void countShot(ScoreCounts& counts, int32_t fireMode, int32_t rounds) {
    // A single or burst shot recorded before its rounds were counted still fired one.
    if (fireMode == kFireModeSingle) counts[colSingleShot] += rounds != 0 ? rounds : 1;
    if (fireMode == kFireModeBurst) counts[colBurstShot] += rounds != 0 ? rounds : 1;
    if (fireMode == kFireModeAuto) counts[colAutoShot] += rounds;
}

ScoreCounts countEvents(const std::vector<ScoreEvent>& events) {
    ScoreCounts counts{};
    for (const ScoreEvent& event : events) {
        switch (event.type) {
            case eventIncomingHit: counts[colHit] += 1; counts[colDamageTaken] += event.data2; break;
            case eventIncomingHits: counts[colHit] += event.data1; counts[colDamageTaken] += event.data2; break;
            case eventReload: counts[colReload] += 1; break;
            case eventEmptyShot: counts[colEmptyShot] += 1; break;
            case eventShot: countShot(counts, event.data1, event.data2); break;
            case eventSwitchedMode: counts[colModeSwitch] += 1; break;
            case eventInterruptedShot: counts[colInterruptedShot] += 1; break;
            case eventIdled: counts[colIdled] += 1; break;
            case eventWeaponLoaded: counts[colUsed] += 1; break;
            case eventPlayerDeath: counts[colDeaths] += 1; break;
            default: break;
        }
    }
    return counts;
}

void appendUpdate(std::string& sql, ScoreColumn column, int64_t amount) {
    if (amount == 0) return;
    const std::string name = kScoreColumns[column];
    sql += "UPDATE score SET " + name + "=" + name + " + " + std::to_string(amount) + " WHERE name=?1; ";
}

std::string updateStatements(const ScoreCounts& counts) {
    std::string sql;
    appendUpdate(sql, colUsed, counts[colUsed]);
    appendUpdate(sql, colDeaths, counts[colDeaths]);
    if (counts[colDamageTaken] != 0) {
        sql += "UPDATE score SET damageTaken=damageTaken + " + std::to_string(counts[colDamageTaken]) +
               ",  hit=hit + " + std::to_string(counts[colHit]) + " WHERE name=?1; ";
    } else {
        appendUpdate(sql, colHit, counts[colHit]);  // hits that did no damage still count
    }
    for (ScoreColumn column : {colReload, colEmptyShot, colSingleShot, colBurstShot, colAutoShot, colModeSwitch,
                               colInterruptedShot, colIdled})
        appendUpdate(sql, column, counts[column]);
    return sql;
}

// Runs each statement of `sql` in turn with `parameter` bound to ?1 where a statement has it.
// Returns SQLITE_OK, or the first failing result with SQLite's message in `error`.
int runStatements(sqlite3* db, const std::string& sql, const std::string& parameter, std::string& error) {
    const char* next = sql.c_str();
    const char* const end = next + sql.size();
    while (next < end) {
        sqlite3_stmt* statement = nullptr;
        int result = sqlite3_prepare_v2(db, next, static_cast<int>(end - next), &statement, &next);
        if (result != SQLITE_OK) {
            error = sqlite3_errmsg(db);
            return result;
        }
        if (!statement) continue;  // only blanks were left
        if (sqlite3_bind_parameter_count(statement) > 0)
            sqlite3_bind_text(statement, 1, parameter.data(), static_cast<int>(parameter.size()), SQLITE_TRANSIENT);
        while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
        }
        if (result != SQLITE_DONE) error = sqlite3_errmsg(db);
        sqlite3_finalize(statement);
        if (result != SQLITE_DONE) return result;
    }
    return SQLITE_OK;
}

// One batch inside the open transaction: the row (when new) and the counts. A batch whose id the
// database already holds was added before and is passed over.
int writeBatch(sqlite3* db, const PendingBatch& batch, std::vector<std::string>& added, std::string& error) {
    if (!batch.id.empty()) {
        const int result = runStatements(db, kRecordBatch, batch.id, error);
        if (result != SQLITE_OK || sqlite3_changes(db) == 0) return result;
    }
    int result = runStatements(db, kInsertRow, batch.weaponName, error);
    if (result == SQLITE_OK) added.push_back(batch.weaponName);
    if (result == SQLITE_CONSTRAINT) result = SQLITE_OK;  // the weapon already has its row
    if (result == SQLITE_OK) result = runStatements(db, updateStatements(batch.counts), batch.weaponName, error);
    return result;
}

// Every batch in one transaction: all of them or nothing.
int writeBatches(sqlite3* db, const std::vector<PendingBatch>& batches, std::vector<std::string>& added,
                 std::string& error) {
    added.clear();
    int result = runStatements(db, "BEGIN IMMEDIATE;", "", error);
    if (result == SQLITE_OK) result = runStatements(db, kCreateTable, "", error);
    const bool anyId = std::any_of(batches.begin(), batches.end(), [](const PendingBatch& b) { return !b.id.empty(); });
    if (result == SQLITE_OK && anyId) result = runStatements(db, kCreateBatchTable, "", error);
    for (size_t i = 0; result == SQLITE_OK && i < batches.size(); ++i) result = writeBatch(db, batches[i], added, error);
    if (result == SQLITE_OK) result = runStatements(db, "COMMIT;", "", error);
    if (result != SQLITE_OK && !sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
    if (result != SQLITE_OK) added.clear();
    return result;
}

sqlite3* openDatabase(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kScoreBusyTimeoutMs);
    return db;
}

bool isEmpty(const PendingBatch& batch) {
    return std::all_of(batch.counts.begin(), batch.counts.end(), [](int64_t count) { return count == 0; });
}

std::string weaponNames(const std::vector<PendingBatch>& batches) {
    std::vector<std::string> names;
    for (const PendingBatch& batch : batches) {
        if (std::find(names.begin(), names.end(), batch.weaponName) == names.end()) names.push_back(batch.weaponName);
    }
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "'" : ", '") + name + "'";
    return text;
}

}  // namespace

scoreDatabase::scoreDatabase(std::string path) : path(std::move(path)), sidePath(this->path + ".pending") {}

bool scoreDatabase::store(const std::string& weaponName, std::vector<ScoreEvent>& events) {
    pending.push_back(PendingBatch{"", weaponName, countEvents(events)});
    events.clear();
    return storePending();
}

bool scoreDatabase::storePending() {
    try {
        return flush();
    } catch (int code) {
        logError(kLogName, "Exception caught: database access failed with memory exception:", code);
        return false;
    }
}

bool scoreDatabase::flush() {
    // Batches another run (or another copy of the game) left in the side file join this store.
    for (PendingBatch& batch : readPendingFile(sidePath)) {
        const auto sameId = [&](const PendingBatch& known) { return known.id == batch.id; };
        if (std::none_of(pending.begin(), pending.end(), sameId)) pending.push_back(batch);
    }
    if (pending.empty()) return true;

    sqlite3* db = openDatabase(path);
    if (!db) {
        logStatus("Could not open scores.db");
        keepPending();
        return false;
    }
    logStatus("Saving scores...\n");
    std::vector<std::string> added;
    std::string error;
    const int result = writeChecked(db, added, error);
    sqlite3_close(db);
    if (result == SQLITE_OK) {
        for (const std::string& name : added) logStatus("SQL Lite: '", name, "' added to DB.");
        pending.clear();
        std::remove(sidePath.c_str());
        return true;
    }
    logStatus("SQL Lite: ", error);
    keepPending();
    return false;
}

// Checks the file first; one that cannot be trusted is replaced before the batches are written,
// and damage met only while writing replaces it then.
int scoreDatabase::writeChecked(sqlite3*& db, std::vector<std::string>& added, std::string& error) {
    const FileCheck check = checkScoreFile(db);
    if (check.verdict == FileVerdict::unreachable) {
        error = check.error;
        return check.result;
    }
    const bool replaced = check.verdict != FileVerdict::sound;
    if (replaced && !replaceFile(db, check.verdict == FileVerdict::damaged, check.error, error)) return SQLITE_CANTOPEN;
    int result = writeBatches(db, pending, added, error);
    if (!replaced && isDamage(result)) {
        if (!replaceFile(db, true, error, error)) return result;
        result = writeBatches(db, pending, added, error);
    }
    return result;
}

// Renames the file aside, opens a new one in its place and puts what could be read from the old
// one first among the pending batches.
bool scoreDatabase::replaceFile(sqlite3*& db, bool damaged, const std::string& why, std::string& error) {
    sqlite3_close(db);
    db = nullptr;
    std::string reason;
    const std::string kept = setAside(path, damaged ? "damaged" : "foreign", reason);
    if (kept.empty()) {
        error = "the score database cannot be used (" + why + ") nor set aside (" + reason + ")";
        return false;
    }
    const std::map<std::string, ScoreCounts> rows = readableCounts(kept);
    std::vector<PendingBatch> copies;
    for (const auto& [name, counts] : rows) copies.push_back(PendingBatch{"", name, counts});
    pending.insert(pending.begin(), copies.begin(), copies.end());
    if (damaged) {
        logWarning(kLogName, "The score database was damaged (", why, "). It was kept as ", kept, " and the ",
                   rows.size(), " weapons that could be read were copied into a new one.");
    } else {
        logWarning(kLogName, "The score table had another shape (", why, "). The file was kept as ", kept,
                   " and the matching counts of ", rows.size(), " weapons were copied into a new one.");
    }
    db = openDatabase(path);
    if (!db) error = "could not create a new score database";
    return db != nullptr;
}

// What could not be stored is kept under its own weapon's name, in memory and in the side file.
void scoreDatabase::keepPending() {
    pending.erase(std::remove_if(pending.begin(), pending.end(), isEmpty), pending.end());
    if (pending.empty()) return;
    const std::string reason = writePendingFile(sidePath, pending);
    if (reason.empty()) {
        logWarning(kLogName, "The scores of ", weaponNames(pending), " could not be stored; they are kept in ",
                   sidePath, " until a store succeeds.");
    } else {
        logWarning(kLogName, "The scores of ", weaponNames(pending), " could not be stored nor kept in ", sidePath,
                   " (", reason, "); the next store tries again.");
    }
}

}  // namespace QEL
