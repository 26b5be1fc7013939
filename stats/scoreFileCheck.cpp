#include "stats/scoreFileCheck.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <vector>

#include "stats/scoreDatabase.h"

namespace QEL {

namespace {

const char* const kColumnsOfScore = "SELECT lower(name) FROM pragma_table_info('score');";
const char* const kUniqueNameIndex =
    "SELECT 1 FROM pragma_index_list('score') AS l WHERE l.\"unique\" AND NOT l.partial AND "
    "(SELECT group_concat(lower(name)) FROM pragma_index_info(l.name)) = 'name';";

// The first column of every row `sql` gives (NULL as ""); SQLITE_OK or the failing result.
int selectTexts(sqlite3* db, const char* sql, std::vector<std::string>& texts, std::string& error) {
    texts.clear();
    sqlite3_stmt* statement = nullptr;
    int result = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    while (result == SQLITE_OK && (result = sqlite3_step(statement)) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(statement, 0);
        texts.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
        result = SQLITE_OK;
    }
    if (result == SQLITE_DONE) result = SQLITE_OK;
    if (result != SQLITE_OK) error = sqlite3_errmsg(db);
    sqlite3_finalize(statement);
    return result;
}

bool hasTheGamesColumns(std::vector<std::string> columns) {
    std::vector<std::string> expected = {"name"};
    for (const char* column : kScoreColumns) {
        expected.emplace_back(column);
        std::transform(expected.back().begin(), expected.back().end(), expected.back().begin(), ::tolower);
    }
    std::sort(columns.begin(), columns.end());
    std::sort(expected.begin(), expected.end());
    return columns == expected;
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// Adds the rows of `statement` (rowid, name, then the counters of `columns`) to `counts`;
// `lastRowid` follows the rows read. The step result that ended the rows.
int addRows(sqlite3_stmt* statement, const std::vector<int>& columns, int64_t& lastRowid,
            std::map<std::string, ScoreCounts>& counts) {
    int result;
    while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
        lastRowid = sqlite3_column_int64(statement, 0);
        const unsigned char* name = sqlite3_column_text(statement, 1);
        if (!name) continue;
        ScoreCounts& row = counts[reinterpret_cast<const char*>(name)];
        for (size_t i = 0; i < columns.size(); ++i) row[columns[i]] += sqlite3_column_int64(statement, 2 + i);
    }
    return result;
}

}  // namespace

bool isDamage(int sqliteResult) {
    return (sqliteResult & 0xff) == SQLITE_CORRUPT || (sqliteResult & 0xff) == SQLITE_NOTADB;
}

FileCheck checkScoreFile(sqlite3* db) {
    std::vector<std::string> texts;
    std::string error;
    int result = selectTexts(db, "PRAGMA quick_check;", texts, error);
    if (result == SQLITE_OK && (texts.empty() || texts[0] != "ok")) {
        std::string finding = texts.empty() ? "no check result" : texts[0];
        std::replace(finding.begin(), finding.end(), '\n', ' ');  // it goes into one log line
        return {FileVerdict::damaged, SQLITE_CORRUPT, finding};
    }
    if (result == SQLITE_OK) result = selectTexts(db, kColumnsOfScore, texts, error);
    if (result == SQLITE_OK && !texts.empty()) {
        if (!hasTheGamesColumns(texts)) return {FileVerdict::foreign, SQLITE_OK, "other columns"};
        result = selectTexts(db, kUniqueNameIndex, texts, error);
        if (result == SQLITE_OK && texts.empty()) return {FileVerdict::foreign, SQLITE_OK, "no unique name"};
    }
    if (result == SQLITE_OK) return {FileVerdict::sound, SQLITE_OK, ""};
    return {isDamage(result) ? FileVerdict::damaged : FileVerdict::unreachable, result, error};
}

std::string setAside(const std::string& path, const std::string& kind, std::string& error) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    const std::string base = path + "." + kind + "-" + stamp;
    std::string kept = base;
    for (int n = 2; exists(kept); ++n) kept = base + "-" + std::to_string(n);
    if (std::rename(path.c_str(), kept.c_str()) != 0) {
        error = std::strerror(errno);
        return "";
    }
    // A journal goes with its file: it may still be needed to read it, and must never be played
    // into the new one.
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        if (exists(path + suffix)) std::rename((path + suffix).c_str(), (kept + suffix).c_str());
    }
    return kept;
}

std::map<std::string, ScoreCounts> readableCounts(const std::string& path) {
    std::map<std::string, ScoreCounts> counts;
    sqlite3* db = nullptr;
    std::vector<std::string> present;
    std::string error;
    // Read-write, so that a journal left by a crash can be played back first.
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_busy_timeout(db, kScoreBusyTimeoutMs) != SQLITE_OK ||
        selectTexts(db, kColumnsOfScore, present, error) != SQLITE_OK ||
        std::find(present.begin(), present.end(), "name") == present.end()) {
        sqlite3_close(db);
        return counts;
    }
    std::string sql = "SELECT rowid, name";
    std::vector<int> columns;
    for (int i = 0; i < kScoreColumnCount; ++i) {
        std::string lower = kScoreColumns[i];
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        if (std::find(present.begin(), present.end(), lower) == present.end()) continue;
        sql += std::string(", \"") + kScoreColumns[i] + "\"";
        columns.push_back(i);
    }
    sql += " FROM score WHERE rowid > ?1 ORDER BY rowid;";
    // A damaged page ends a scan; the next one starts past it, further on each time it ends
    // without a row, so the rows behind it are read too. (The game's rows have positive ids.)
    int64_t lastRowid = 0, skip = 1;
    for (int scan = 0; scan < 64; ++scan) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) break;
        sqlite3_bind_int64(statement, 1, lastRowid);
        const int64_t before = lastRowid;
        const int result = addRows(statement, columns, lastRowid, counts);
        sqlite3_finalize(statement);
        skip = lastRowid != before ? 1 : skip * 2;
        if (result == SQLITE_DONE || lastRowid > std::numeric_limits<int64_t>::max() - skip) break;
        lastRowid += skip;
    }
    sqlite3_close(db);
    return counts;
}

}  // namespace QEL
