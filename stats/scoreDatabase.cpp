#include "stats/scoreDatabase.h"

#include <sqlite3.h>

#include <cstdio>

#include "base/assetPath.h"
#include "base/log.h"

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

// Sums of one batch; 64 bits so that no run of events can overflow them.
struct BatchCounters {
    int64_t used = 0, deaths = 0, damageTaken = 0, hit = 0, reload = 0, emptyShot = 0;
    int64_t singleShot = 0, burstShot = 0, autoShot = 0, modeSwitch = 0, interruptedShot = 0, idled = 0;
};

void countShot(BatchCounters& counters, int32_t fireMode, int32_t rounds) {
    // A single or burst shot recorded before its rounds were counted still fired one.
    if (fireMode == kFireModeSingle) counters.singleShot += rounds != 0 ? rounds : 1;
    if (fireMode == kFireModeBurst) counters.burstShot += rounds != 0 ? rounds : 1;
    if (fireMode == kFireModeAuto) counters.autoShot += rounds;
}

BatchCounters countEvents(const std::vector<ScoreEvent>& events) {
    BatchCounters counters;
    for (const ScoreEvent& event : events) {
        switch (event.type) {
            case eventIncomingHit: counters.hit += 1; counters.damageTaken += event.data2; break;
            case eventReload: counters.reload += 1; break;
            case eventEmptyShot: counters.emptyShot += 1; break;
            case eventShot: countShot(counters, event.data1, event.data2); break;
            case eventSwitchedMode: counters.modeSwitch += 1; break;
            case eventInterruptedShot: counters.interruptedShot += 1; break;
            case eventIdled: counters.idled += 1; break;
            case eventWeaponLoaded: counters.used += 1; break;
            case eventPlayerDeath: counters.deaths += 1; break;
            default: break;
        }
    }
    return counters;
}

void appendUpdate(std::string& sql, const char* column, int64_t amount) {
    if (amount == 0) return;
    sql += std::string("UPDATE score SET ") + column + "=" + column + " + " + std::to_string(amount) +
           " WHERE name=?1; ";
}

std::string updateStatements(const BatchCounters& counters) {
    std::string sql;
    appendUpdate(sql, "used", counters.used);
    appendUpdate(sql, "deaths", counters.deaths);
    if (counters.damageTaken != 0) {
        sql += "UPDATE score SET damageTaken=damageTaken + " + std::to_string(counters.damageTaken) +
               ",  hit=hit + " + std::to_string(counters.hit) + " WHERE name=?1; ";
    } else {
        appendUpdate(sql, "hit", counters.hit);  // hits that did no damage still count
    }
    appendUpdate(sql, "reload", counters.reload);
    appendUpdate(sql, "emptyShot", counters.emptyShot);
    appendUpdate(sql, "singleShot", counters.singleShot);
    appendUpdate(sql, "burstShot", counters.burstShot);
    appendUpdate(sql, "autoShot", counters.autoShot);
    appendUpdate(sql, "modeSwitch", counters.modeSwitch);
    appendUpdate(sql, "interruptedShot", counters.interruptedShot);
    appendUpdate(sql, "idled", counters.idled);
    return sql;
}

// Runs each statement of `sql` in turn with `name` bound to ?1 where a statement has it.
// Returns SQLITE_OK, or the first failing result with SQLite's message in `error`.
int runStatements(sqlite3* db, const std::string& sql, const std::string& name, std::string& error) {
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
            sqlite3_bind_text(statement, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
        }
        if (result != SQLITE_DONE) error = sqlite3_errmsg(db);
        sqlite3_finalize(statement);
        if (result != SQLITE_DONE) return result;
    }
    return SQLITE_OK;
}

// Writes the row (when new) and the whole batch in one transaction: all of it or nothing.
int writeBatch(sqlite3* db, const std::string& name, const BatchCounters& counters, bool& inserted,
               std::string& error) {
    inserted = false;
    int result = runStatements(db, "BEGIN IMMEDIATE;", name, error);
    if (result == SQLITE_OK) result = runStatements(db, kCreateTable, name, error);
    if (result == SQLITE_OK) {
        result = runStatements(db, kInsertRow, name, error);
        inserted = result == SQLITE_OK;
        if (result == SQLITE_CONSTRAINT) result = SQLITE_OK;  // the weapon already has its row
    }
    if (result == SQLITE_OK) result = runStatements(db, updateStatements(counters), name, error);
    if (result == SQLITE_OK) result = runStatements(db, "COMMIT;", name, error);
    if (result != SQLITE_OK && !sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
    return result;
}

void removeCorruptDatabase(const std::string& path) {
    if (std::remove(path.c_str()) == 0) {
        std::remove((path + "-journal").c_str());  // a stale journal must not be played into a new file
        logWarning(kLogName, "The score database appears to be corrupt. It has been deleted.");
    } else {
        logWarning(kLogName, "The score database appears to be corrupt, but deleting it failed.");
    }
}

bool storeBatch(const std::string& weaponName, std::vector<ScoreEvent>& events) {
    const std::string path = assetPath("scores", "db");
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        logStatus("Could not open scores.db");
        return false;
    }
    logStatus("Saving scores...\n");

    bool inserted = false;
    std::string error;
    const int result = writeBatch(db, weaponName, countEvents(events), inserted, error);
    sqlite3_close(db);

    if (result == SQLITE_OK) {
        if (inserted) logStatus("SQL Lite: '", weaponName, "' added to DB.");
        events.clear();
        return true;
    }
    logStatus("SQL Lite: ", error);
    if (result == SQLITE_CORRUPT || result == SQLITE_NOTADB) removeCorruptDatabase(path);
    return false;  // the events stay for the next store
}

}  // namespace

bool storeEventsToDatabase(bool weaponLoaded, const std::string& weaponName, std::vector<ScoreEvent>& events) {
    if (!weaponLoaded) {
        events.clear();
        return false;
    }
    try {
        return storeBatch(weaponName, events);
    } catch (int code) {
        logError(kLogName, "Exception caught: database access failed with memory exception:", code);
        return false;
    }
}

}  // namespace QEL
