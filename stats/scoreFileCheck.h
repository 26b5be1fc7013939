// Whether an open score database can be trusted, and what happens to one that cannot: it is
// renamed aside (never deleted) and whatever can still be read from it is handed back as counts.
#pragma once

#include <sqlite3.h>

#include <map>
#include <string>

#include "stats/pendingScores.h"

namespace QEL {

enum class FileVerdict {
    sound,        // the game's table, or none yet
    foreign,      // a score table of another shape: other columns or no unique index on name
    damaged,      // SQLite finds the file damaged or not a database
    unreachable,  // the check itself failed (locked, unreadable): try again later
};

struct FileCheck {
    FileVerdict verdict;
    int result;         // SQLite's result code of the failing step, or SQLITE_OK
    std::string error;  // SQLite's message, or the first finding of the damage check
};

bool isDamage(int sqliteResult);

FileCheck checkScoreFile(sqlite3* db);

// Renames `path` and its journal files to `path` + "." + kind + "-" + UTC time ("…-20250102T030405Z",
// a number appended when that exists). Returns the new path, or "" with the reason in `error`.
std::string setAside(const std::string& path, const std::string& kind, std::string& error);

// The counts of every row that can still be read from the score table in `path`, summed per
// weapon name; columns the table lacks count 0, columns the game does not know are left.
std::map<std::string, ScoreCounts> readableCounts(const std::string& path);

}  // namespace QEL
