#include "stats/scoreDatabase.h"

#include "statsFixture.h"

namespace {

using QEL::ScoreEvent;
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

class ScoreDatabase : public statsTest::StatsFolder {
protected:
    bool store(const std::string& weapon, std::vector<ScoreEvent>& events) { return scores.store(weapon, events); }
    QEL::scoreDatabase scores{"../assets/scores.db"};
};

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
    EXPECT_TRUE(store("rifle", events));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(takeLog(), std::string(kSaving) + "   SQL Lite: 'rifle' added to DB.\n");
    EXPECT_EQ(row("rifle"), counters({{"used", 1}, {"modeSwitch", 1}, {"singleShot", 3}, {"burstShot", 1},
                                      {"autoShot", 5}, {"hit", 2}, {"damageTaken", 10}, {"reload", 1},
                                      {"emptyShot", 1}, {"interruptedShot", 1}, {"deaths", 1}}));

    // A later batch adds to the same row without announcing it again.
    events = {{3, 1, 3}, {0, 1, 0}, {0, 1, 0}};
    EXPECT_TRUE(store("rifle", events));
    EXPECT_EQ(takeLog(), kSaving);
    Row after = row("rifle");
    EXPECT_EQ(after["burstShot"], 4);
    EXPECT_EQ(after["hit"], 4);  // hits without damage are counted too
    EXPECT_EQ(after["damageTaken"], 10);
}

TEST_F(ScoreDatabase, NoEventsStillCreatesTheRow) {
    std::vector<ScoreEvent> events;
    EXPECT_TRUE(store("pistol", events));
    EXPECT_EQ(row("pistol"), counters({}));
}

TEST_F(ScoreDatabase, NothingPendingTouchesNoFile) {
    EXPECT_TRUE(scores.storePending());
    EXPECT_EQ(takeLog(), "");
    EXPECT_FALSE(statsTest::fs::exists(databasePath()));
}

TEST_F(ScoreDatabase, NamesWithQuotesAndSemicolonsAreStoredAsWritten) {
    const std::string hostile = "O'Neil's \"gun\"; DROP TABLE score; --";
    std::vector<ScoreEvent> events = {{7, -1, -1}};
    ASSERT_TRUE(store("rifle", events));
    takeLog();
    events = {{7, -1, -1}, {3, 0, 2}};
    EXPECT_TRUE(store(hostile, events));
    EXPECT_EQ(takeLog(), kSaving + std::string("   SQL Lite: '") + hostile + "' added to DB.\n");
    EXPECT_EQ(row(hostile), counters({{"used", 1}, {"singleShot", 2}}));
    EXPECT_EQ(row("rifle"), counters({{"used", 1}}));
    EXPECT_EQ(rowCount(), 2);
}

const std::string kWarning = "W: (QEL::cAssetMgr::storeEventsToDB) ";

TEST_F(ScoreDatabase, EventsThatCouldNotBeStoredGoInLaterUnderTheirOwnWeapon) {
    statsTest::fs::create_directory(databasePath());  // in the way of the file
    std::vector<ScoreEvent> events = {{7, -1, -1}, {3, 0, 1}};
    EXPECT_FALSE(store("rifle", events));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(takeLog(), "   Could not open scores.db\n" + kWarning +
                             "The scores of 'rifle' could not be stored; they are kept in "
                             "../assets/scores.db.pending until a store succeeds.\n");

    // The next run finds them beside the database.
    statsTest::fs::remove(databasePath());
    events = {{7, -1, -1}, {3, 0, 2}};
    EXPECT_TRUE(QEL::scoreDatabase("../assets/scores.db").store("pistol", events));
    EXPECT_EQ(row("rifle"), counters({{"used", 1}, {"singleShot", 1}}));
    EXPECT_EQ(row("pistol"), counters({{"used", 1}, {"singleShot", 2}}));
    EXPECT_FALSE(statsTest::fs::exists(databasePath().string() + ".pending"));
}

TEST_F(ScoreDatabase, AGarbageFileIsKeptAsideAndTheEventsStoredInANewOne) {
    const std::string garbage(4096, 'x');
    std::ofstream(databasePath(), std::ios::binary) << garbage;
    std::vector<ScoreEvent> events = {{3, 0, 1}};
    EXPECT_TRUE(store("rifle", events));
    EXPECT_EQ(row("rifle"), counters({{"singleShot", 1}}));

    std::vector<statsTest::fs::path> kept;
    for (const auto& entry : statsTest::fs::directory_iterator(root / "assets"))
        if (entry.path().filename() != "scores.db") kept.push_back(entry.path());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].filename().string().rfind("scores.db.damaged-20", 0), 0u);
    EXPECT_EQ((std::stringstream() << std::ifstream(kept[0]).rdbuf()).str(), garbage);
    EXPECT_EQ(takeLog(), kSaving + kWarning + "The score database was damaged (file is not a database). It was kept as ../assets/" +
                             kept[0].filename().string() + " and the 0 weapons that could be read were copied into a new one.\n" +
                             "   SQL Lite: 'rifle' added to DB.\n");
}

TEST_F(ScoreDatabase, AFailureInTheMiddleOfABatchAppliesNothing) {
    std::vector<ScoreEvent> events;
    ASSERT_TRUE(store("rifle", events));
    // The reload update comes after used and deaths in the batch and before the shots.
    execute("CREATE TRIGGER refuseReload BEFORE UPDATE OF reload ON score "
            "BEGIN SELECT RAISE(ABORT, 'reload refused'); END;");
    takeLog();

    events = {{7, -1, -1}, {8, -1, -1}, {1, 0, -1}, {3, 0, 1}};
    EXPECT_FALSE(store("rifle", events));
    EXPECT_EQ(takeLog(), std::string(kSaving) + "   SQL Lite: reload refused\n" + kWarning +
                             "The scores of 'rifle' could not be stored; they are kept in "
                             "../assets/scores.db.pending until a store succeeds.\n");
    events = {{7, -1, -1}};
    EXPECT_FALSE(store("shotgun", events));  // a new weapon's row goes too
    EXPECT_EQ(row("rifle"), counters({}));
    EXPECT_TRUE(row("shotgun").empty());

    execute("DROP TRIGGER refuseReload;");
    EXPECT_TRUE(scores.storePending());
    EXPECT_EQ(row("rifle"), counters({{"used", 1}, {"deaths", 1}, {"reload", 1}, {"singleShot", 1}}));
    EXPECT_EQ(row("shotgun"), counters({{"used", 1}}));
}

}  // namespace
