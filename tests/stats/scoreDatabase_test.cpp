#include "stats/scoreDatabase.h"

#include "statsFixture.h"

namespace {

using QEL::ScoreEvent;
using QEL::storeEventsToDatabase;
using statsTest::Row;

// Every counter of a row: 0 except those named.
Row counters(const Row& nonZero) {
    Row all{{"singleShot", 0}, {"burstShot", 0}, {"autoShot", 0}, {"interruptedShot", 0}, {"emptyShot", 0},
            {"reload", 0},     {"modeSwitch", 0}, {"idled", 0},    {"hit", 0},             {"damageTaken", 0},
            {"used", 0},       {"deaths", 0}};
    for (const auto& [column, value] : nonZero) all[column] = value;
    return all;
}

const char* const kSaving = "   Saving scores...\n\n";

class ScoreDatabase : public statsTest::StatsFolder {};

TEST_F(ScoreDatabase, FirstStoreCreatesTheRowAndCountsEveryEventKind) {
    std::vector<ScoreEvent> events = {
        {7, -1, -1},                                // weapon taken up
        {4, 2, -1},                                 // mode chosen at load
        {3, 0, 1},  {3, 0, 1}, {3, 0, 1},           // three single shots of one round
        {3, 1, 0},                                  // a burst recorded before its rounds
        {3, 2, 0},                                  // an auto shot of no rounds adds nothing
        {3, 2, 5},  {3, 7, 4},                      // five auto rounds; an unknown mode counts nothing
        {0, 3, 10}, {0, 4, 0},                      // hits of 10 and 0 damage
        {1, 0, -1}, {2, 0, -1}, {5, 1, -1}, {8, -1, -1}, {42, 1, 1},
    };
    EXPECT_TRUE(storeEventsToDatabase(true, "rifle", events));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(takeLog(), std::string(kSaving) + "   SQL Lite: 'rifle' added to DB.\n");
    EXPECT_EQ(row("rifle"), counters({{"used", 1}, {"modeSwitch", 1}, {"singleShot", 3}, {"burstShot", 1},
                                      {"autoShot", 5}, {"hit", 2}, {"damageTaken", 10}, {"reload", 1},
                                      {"emptyShot", 1}, {"interruptedShot", 1}, {"deaths", 1}}));

    // A later batch adds to the same row without announcing it again.
    events = {{3, 1, 3}, {0, 1, 0}, {0, 1, 0}};
    EXPECT_TRUE(storeEventsToDatabase(true, "rifle", events));
    EXPECT_EQ(takeLog(), kSaving);
    Row after = row("rifle");
    EXPECT_EQ(after["burstShot"], 4);
    EXPECT_EQ(after["hit"], 4);  // hits without damage are counted too
    EXPECT_EQ(after["damageTaken"], 10);
}

TEST_F(ScoreDatabase, NoEventsStillCreatesTheRow) {
    std::vector<ScoreEvent> events;
    EXPECT_TRUE(storeEventsToDatabase(true, "pistol", events));
    EXPECT_EQ(row("pistol"), counters({}));
}

TEST_F(ScoreDatabase, WithoutAWeaponEventsAreDiscardedAndNothingIsWritten) {
    std::vector<ScoreEvent> events = {{3, 0, 1}};
    EXPECT_FALSE(storeEventsToDatabase(false, "rifle", events));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(takeLog(), "");
    EXPECT_FALSE(statsTest::fs::exists(databasePath()));
}

TEST_F(ScoreDatabase, NamesWithQuotesAndSemicolonsAreStoredAsWritten) {
    const std::string hostile = "O'Neil's \"gun\"; DROP TABLE score; --";
    std::vector<ScoreEvent> events = {{7, -1, -1}};
    ASSERT_TRUE(storeEventsToDatabase(true, "rifle", events));
    takeLog();
    events = {{7, -1, -1}, {3, 0, 2}};
    EXPECT_TRUE(storeEventsToDatabase(true, hostile, events));
    EXPECT_EQ(takeLog(), kSaving + std::string("   SQL Lite: '") + hostile + "' added to DB.\n");
    EXPECT_EQ(row(hostile), counters({{"used", 1}, {"singleShot", 2}}));
    EXPECT_EQ(row("rifle"), counters({{"used", 1}}));
    EXPECT_EQ(rowCount(), 2);
}

TEST_F(ScoreDatabase, AnUnopenableDatabaseKeepsTheEventsForTheNextStore) {
    statsTest::fs::create_directory(databasePath());  // in the way of the file
    std::vector<ScoreEvent> events = {{7, -1, -1}, {3, 0, 1}};
    EXPECT_FALSE(storeEventsToDatabase(true, "rifle", events));
    EXPECT_EQ(takeLog(), "   Could not open scores.db\n");
    EXPECT_EQ(events.size(), 2u);

    statsTest::fs::remove(databasePath());
    events.push_back({3, 0, 1});
    EXPECT_TRUE(storeEventsToDatabase(true, "rifle", events));
    EXPECT_EQ(row("rifle"), counters({{"used", 1}, {"singleShot", 2}}));
}

TEST_F(ScoreDatabase, AGarbageFileIsRemovedAndTheEventsStoredNextTime) {
    std::ofstream(databasePath(), std::ios::binary) << std::string(4096, 'x');
    std::vector<ScoreEvent> events = {{3, 0, 1}};
    EXPECT_FALSE(storeEventsToDatabase(true, "rifle", events));
    EXPECT_EQ(takeLog(), std::string(kSaving) + "   SQL Lite: file is not a database\n" +
                             "W: (QEL::cAssetMgr::storeEventsToDB) The score database appears to be corrupt. "
                             "It has been deleted.\n");
    EXPECT_FALSE(statsTest::fs::exists(databasePath()));
    ASSERT_EQ(events.size(), 1u);

    EXPECT_TRUE(storeEventsToDatabase(true, "rifle", events));
    EXPECT_EQ(row("rifle"), counters({{"singleShot", 1}}));
}

TEST_F(ScoreDatabase, AFailureInTheMiddleOfABatchAppliesNothing) {
    std::vector<ScoreEvent> events;
    ASSERT_TRUE(storeEventsToDatabase(true, "rifle", events));
    // The reload update comes after used and deaths in the batch and before the shots.
    execute("CREATE TRIGGER refuseReload BEFORE UPDATE OF reload ON score "
            "BEGIN SELECT RAISE(ABORT, 'reload refused'); END;");
    takeLog();

    events = {{7, -1, -1}, {8, -1, -1}, {1, 0, -1}, {3, 0, 1}};
    EXPECT_FALSE(storeEventsToDatabase(true, "rifle", events));
    EXPECT_FALSE(storeEventsToDatabase(true, "shotgun", events));  // a new weapon's row goes too
    EXPECT_EQ(takeLog(), std::string(kSaving) + "   SQL Lite: reload refused\n" + kSaving +
                             "   SQL Lite: reload refused\n");
    EXPECT_EQ(row("rifle"), counters({}));
    EXPECT_TRUE(row("shotgun").empty());
    EXPECT_EQ(events.size(), 4u);

    execute("DROP TRIGGER refuseReload;");
    EXPECT_TRUE(storeEventsToDatabase(true, "rifle", events));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(row("rifle"), counters({{"used", 1}, {"deaths", 1}, {"reload", 1}, {"singleShot", 1}}));
}

}  // namespace
