// A temporary working directory with a sibling assets folder, the log captured, and small
// readers of the real scores.db that the code under test writes.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <string>

#include "testing/assetsFolder.h"

namespace statsTest {

namespace fs = std::filesystem;
using Row = std::map<std::string, long long>;

class StatsFolder : public QEL::testing::AssetsFolderTest {
protected:
    fs::path databasePath() const { return root / "assets" / "scores.db"; }

    // Runs SQL directly on scores.db (test set-up only).
    void execute(const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(databasePath().c_str(), &db), SQLITE_OK);
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }

    // The first row `sql` selects as column -> value (?1 bound to `parameter`); empty when none.
    Row select(const std::string& sql, const std::string& parameter = "") {
        Row values;
        sqlite3* db = nullptr;
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_open_v2(databasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
            sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(statement, 1, parameter.data(), static_cast<int>(parameter.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(statement) == SQLITE_ROW)
                for (int i = 0; i < sqlite3_column_count(statement); ++i)
                    values[sqlite3_column_name(statement, i)] = sqlite3_column_int64(statement, i);
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return values;
    }

    // The weapon's counters (every column but its name).
    Row row(const std::string& name) {
        Row values = select("SELECT * FROM score WHERE name=?1", name);
        values.erase("name");
        return values;
    }
    long long rowCount() { return select("SELECT COUNT(*) AS n FROM score")["n"]; }
};

}  // namespace statsTest
