// A temporary working directory with a sibling assets folder, the log captured, and small
// readers of the real scores.db that the code under test writes.
#pragma once

#include "tests/support/assetsFolder.h"
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

namespace statsTest {

namespace fs = std::filesystem;

class StatsFolder : public QEL::testing::AssetsFolderTest {
protected:
    fs::path databasePath() const { return root / "assets" / "scores.db"; }

    // Runs SQL directly on scores.db (test set-up only).
    void execute(const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(databasePath().c_str(), &db), SQLITE_OK);
        char* error = nullptr;
        int result = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
        EXPECT_EQ(result, SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }

    // The weapon's row as column -> value; empty when there is no such row.
    std::map<std::string, long long> row(const std::string& name) {
        std::map<std::string, long long> values;
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(databasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            return values;
        }
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT * FROM score WHERE name=?1", -1, &statement, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(statement, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(statement) == SQLITE_ROW) {
                for (int i = 1; i < sqlite3_column_count(statement); ++i)
                    values[sqlite3_column_name(statement, i)] = sqlite3_column_int64(statement, i);
            }
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return values;
    }

    long long rowCount() {
        sqlite3* db = nullptr;
        long long count = -1;
        sqlite3_open_v2(databasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM score", -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            count = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return count;
    }
};

}  // namespace statsTest
