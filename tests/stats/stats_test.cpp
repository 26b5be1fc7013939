// The score store and the status messages made from it, on a real scores.db in a working folder
// laid out as the game's.
#include <sqlite3.h>

#include <map>
#include <set>

#include "stats/scoreDatabase.h"
#include "stats/tweetGenerator.h"
#include "testing/assetsFolder.h"

namespace {

using QEL::ScoreEvent;
using Row = std::map<std::string, long long>;

class Stats : public QEL::testing::AssetsFolderTest {
protected:
    bool store(const std::string& weapon, std::vector<ScoreEvent> events) {
        return QEL::scoreDatabase("../assets/scores.db").store(weapon, events);
    }
    // Runs `sql` on scores.db: the first row it selects, column -> value (?1 bound to `parameter`).
    Row query(const std::string& sql, const std::string& parameter = "") {
        Row values;
        sqlite3* db = nullptr;
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_open((root / "assets" / "scores.db").c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_bind_text(statement, 1, parameter.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(statement) == SQLITE_ROW)
            for (int i = 0; i < sqlite3_column_count(statement); ++i)
                values[sqlite3_column_name(statement, i)] = sqlite3_column_int64(statement, i);
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return values;
    }
    // A weapon's counters that are not 0.
    Row row(const std::string& name) {
        Row values;
        for (const auto& [column, value] : query("SELECT * FROM score WHERE name=?1", name))
            if (value != 0 && column != "name") values[column] = value;
        return values;
    }
    // A favourite weapon with `rounds` single rounds and `hits` hits, and further weapons of one round each.
    void playWeapons(int weapons, int rounds, int hits) {
        std::vector<ScoreEvent> favourite = {{7, -1, -1}, {3, 0, rounds}};
        favourite.insert(favourite.end(), size_t(hits), {0, 1, 5});
        ASSERT_TRUE(store("favourite", favourite));
        for (int i = 1; i < weapons; ++i) ASSERT_TRUE(store("weapon" + std::to_string(i), {{3, 0, 1}}));
        takeLog();
    }
    std::string messages() {
        const QEL::tweetGenerator generator;
        std::string text;
        for (const std::string& t : generator.getTemplates()) text += t + "\n";
        return text;
    }
};

TEST_F(Stats, EveryEventKindIsCountedAndLaterBatchesAddToTheRow) {
    EXPECT_TRUE(QEL::scoreDatabase("../assets/scores.db").storePending());  // nothing pending: no file
    EXPECT_FALSE(std::filesystem::exists(root / "assets" / "scores.db"));
    EXPECT_TRUE(store("rifle", {
        {7, -1, -1},                                // weapon taken up
        {4, 2, -1},                                 // mode chosen at load
        {3, 0, 1},  {3, 0, 1}, {3, 0, 1},           // three single shots of one round
        {3, 1, 0},                                  // a burst recorded before its rounds
        {3, 2, 0},  {3, 2, 5},  {3, 7, 4},          // auto: no rounds, five rounds; an unknown mode
        {0, 3, 10}, {0, 4, 0},                      // hits of 10 and 0 damage
        {9, 1000, 25},                              // a thousand hits summed up, 25 damage in all
        {1, 0, -1}, {2, 0, -1}, {5, 1, -1}, {8, -1, -1}, {42, 1, 1},
    }));
    EXPECT_EQ(takeLog(), "   Saving scores...\n\n   SQL Lite: 'rifle' added to DB.\n");
    EXPECT_EQ(row("rifle"), (Row{{"used", 1}, {"modeSwitch", 1}, {"singleShot", 3}, {"burstShot", 1}, {"autoShot", 5},
                                 {"hit", 1002}, {"damageTaken", 35}, {"reload", 1}, {"emptyShot", 1},
                                 {"interruptedShot", 1}, {"deaths", 1}}));
    // Hits are counted when the batch's damage adds up to 0; a weapon without events has its row.
    EXPECT_TRUE(store("rifle", {{3, 1, 3}, {0, 1, 0}, {0, 1, 0}}));
    EXPECT_TRUE(store("pistol", {}));
    EXPECT_NE(takeLog().find("   SQL Lite: 'pistol' added to DB.\n"), std::string::npos);
    EXPECT_EQ(row("rifle")["burstShot"], 4);
    EXPECT_EQ(row("rifle")["hit"], 1004);
    EXPECT_EQ(query("SELECT COUNT(*) AS n FROM score WHERE name='pistol'")["n"], 1);
}

TEST_F(Stats, AFailureInTheMiddleOfABatchAppliesNothingAndItIsStoredLater) {
    std::filesystem::create_directory(root / "assets" / "scores.db");  // in the way of the file
    EXPECT_FALSE(store("pistol", {{7, -1, -1}}));
    EXPECT_NE(takeLog().find("Could not open scores.db\n"), std::string::npos);
    std::filesystem::remove(root / "assets" / "scores.db");
    ASSERT_TRUE(store("rifle", {}));  // and the pending pistol with it
    // The reload update comes after used and deaths in the batch and before the shots.
    query("CREATE TRIGGER refuseReload BEFORE UPDATE OF reload ON score BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    takeLog();
    EXPECT_FALSE(store("rifle", {{7, -1, -1}, {8, -1, -1}, {1, 0, -1}, {3, 0, 1}}));
    EXPECT_NE(takeLog().find("   SQL Lite: refused\n"), std::string::npos);
    EXPECT_FALSE(store("shotgun", {{7, -1, -1}}));  // a new weapon's row goes too
    EXPECT_EQ(row("rifle"), Row{});
    EXPECT_EQ(query("SELECT COUNT(*) AS n FROM score")["n"], 2);

    query("DROP TRIGGER refuseReload;");
    EXPECT_TRUE(QEL::scoreDatabase("../assets/scores.db").storePending());
    EXPECT_EQ(row("rifle"), (Row{{"used", 1}, {"deaths", 1}, {"reload", 1}, {"singleShot", 1}}));
    EXPECT_EQ(row("shotgun"), (Row{{"used", 1}}));
    EXPECT_EQ(row("pistol"), (Row{{"used", 1}}));
}

TEST_F(Stats, NamesWithQuotesAreStoredAndQuotedAsWritten) {
    const std::string hostile = "O'Neil's \"gun\"; DROP TABLE score; --";
    ASSERT_TRUE(store("rifle", {{7, -1, -1}}));
    EXPECT_TRUE(store(hostile, {{7, -1, -1}, {3, 0, 50}}));
    EXPECT_EQ(row(hostile), (Row{{"used", 1}, {"singleShot", 50}}));
    EXPECT_EQ(row("rifle"), (Row{{"used", 1}}));
    EXPECT_NE(takeLog().find("   SQL Lite: '" + hostile + "' added to DB.\n"), std::string::npos);
    // The favourite's name in the status message's own query.
    EXPECT_NE(messages().find("FACTOID:  I fired 50 rounds with my " + hostile + ". #Kablix\n"), std::string::npos);
    EXPECT_EQ(takeLog(), "");
}

TEST_F(Stats, StatisticsMessagesAppearStrictlyAboveTheirThresholds) {
    playWeapons(31, 10, 3);
    const std::string above = messages();
    EXPECT_EQ(takeLog(), "");
    for (const char* part : {"firing off 40 rounds", "I fired 10 rounds with my favourite.", "shot 3 times",
                             "Busy flashing my favourite.", "I've shot off 31 weapons"})
        EXPECT_NE(above.find(part), std::string::npos) << part;
    query("DELETE FROM score WHERE name IN ('weapon1', 'favourite');");
    playWeapons(1, 9, 2);  // 30 weapons, 9 rounds with the favourite, 2 hits
    EXPECT_EQ(QEL::tweetGenerator().getTemplates().size(), 14u + 2u);
}

TEST_F(Stats, MessagesEndInNoneOneOrTwoHashtags) {
    playWeapons(31, 120, 3);
    QEL::tweetGenerator generator;
    const std::vector<std::string>& tags = generator.getHashtags();
    std::set<int> counts;
    for (int i = 0; i < 400; ++i) {
        std::string message;
        generator.generateTweet(message);
        int count = 0;
        for (auto tag = tags.begin(); tag != tags.end();) {  // takes the hashtags off the end
            const bool last = message.size() > tag->size() && message.compare(message.size() - tag->size(), tag->size(), *tag) == 0;
            if (last) message.resize(message.size() - tag->size());
            tag = last ? (++count, tags.begin()) : tag + 1;
        }
        counts.insert(count);
    }
    EXPECT_EQ(counts, (std::set<int>{0, 1, 2}));
}

TEST_F(Stats, WithoutRowsTableOrDatabaseTheFixedMessagesRemain) {
    ASSERT_TRUE(store("gone", {}));
    query("DELETE FROM score;");
    takeLog();
    EXPECT_EQ(QEL::tweetGenerator().getTemplates()[0], "My finger hurts after firing off  rounds in #Kablix");
    EXPECT_NE(takeLog().find("Tweet Generator failed command: "), std::string::npos);
    query("DROP TABLE score;");
    EXPECT_EQ(QEL::tweetGenerator().getTemplates().size(), 14u);
    EXPECT_NE(takeLog().find("Error querying score database in 'scores.db' file. with command: "), std::string::npos);
    std::filesystem::remove_all(root / "assets");
    EXPECT_EQ(QEL::tweetGenerator().getTemplates().size(), 14u);
    EXPECT_EQ(takeLog(), "   tweetGenerator: Could not open scores.db\n");
}

}  // namespace
