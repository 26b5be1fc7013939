#include "stats/tweetGenerator.h"

#include <cstdlib>
#include <set>

#include "stats/scoreDatabase.h"
#include "statsFixture.h"

namespace {

using QEL::ScoreEvent;
using QEL::tweetGenerator;

const std::string kRunDB = "E: (QEL::tweetGenerator::runDBCommand) \a";
const char* const kTotalQuery = "SELECT SUM(singleShot) + SUM(burstShot) + SUM(autoShot) FROM score;";

class TweetGenerator : public statsTest::StatsFolder {
protected:
    // Stores `rounds` single rounds and `hits` hits for a weapon through the real store.
    void play(const std::string& weapon, int rounds, int hits) {
        std::vector<ScoreEvent> events = {{7, -1, -1}, {3, 0, rounds}};
        for (int i = 0; i < hits; ++i) events.push_back({0, 1, 5});
        ASSERT_TRUE(QEL::scoreDatabase("../assets/scores.db").store(weapon, events));
    }
    // A favourite weapon with `favourite` rounds and `hits` hits, and further weapons of one round each.
    void playWeapons(int weapons, int favourite, int hits) {
        play("favourite", favourite, hits);
        for (int i = 1; i < weapons; ++i) play("weapon" + std::to_string(i), 1, 0);
        takeLog();
    }
    static size_t count(const std::vector<std::string>& texts, const std::string& prefix) {
        size_t n = 0;
        for (const std::string& text : texts) n += text.compare(0, prefix.size(), prefix) == 0;
        return n;
    }
};

TEST_F(TweetGenerator, AllStatisticsMessagesAboveTheirThresholds) {
    playWeapons(31, 120, 3);  // 120 + 30 further rounds
    play("weapon1", 100, 0);   // 250 rounds in all; the favourite keeps the most
    takeLog();
    tweetGenerator generator;
    EXPECT_EQ(takeLog(), "");
    const std::vector<std::string>& templates = generator.getTemplates();
    ASSERT_EQ(templates.size(), 19u);
    EXPECT_EQ(templates[0], "My finger hurts after firing off 250 rounds in #Kablix");
    EXPECT_EQ(templates[1], "FACTOID:  I fired 120 rounds with my favourite. #Kablix");
    EXPECT_EQ(templates[2], "Did you know? I survived being shot 3 times. #Kablix. #Trivia");
    EXPECT_EQ(templates[3], "Busy flashing my favourite. #Kablix");
    EXPECT_EQ(templates[4], "I've shot off 31 weapons in #Kablix - #NOT. #ENOUGH !!");
    EXPECT_EQ(templates[5], "I fight crime with #Kablix");
    EXPECT_EQ(templates[17], "Did someone just point their #Kablix at me?  #HeCray !");
    EXPECT_EQ(templates[18], "Gonna spend my #weekend improving my aim. #Kablix");
    const std::vector<std::string>& hashtags = generator.getHashtags();
    ASSERT_EQ(hashtags.size(), 20u);
    EXPECT_EQ(hashtags.front(), " #PowPow");
    EXPECT_EQ(hashtags[9], " @thekablix");
    EXPECT_EQ(hashtags.back(), " #Unproductivity");
}

TEST_F(TweetGenerator, ConditionsAreStrictlyAboveTheirBoundaries) {
    playWeapons(30, 9, 2);
    tweetGenerator generator;
    const std::vector<std::string>& templates = generator.getTemplates();
    ASSERT_EQ(templates.size(), 16u);
    EXPECT_EQ(templates[0], "My finger hurts after firing off 38 rounds in #Kablix");
    EXPECT_EQ(templates[1], "Busy flashing my favourite. #Kablix");
    EXPECT_EQ(count(templates, "FACTOID"), 0u);
    EXPECT_EQ(count(templates, "Did you know?"), 0u);
    EXPECT_EQ(count(templates, "I've shot off"), 0u);
}

TEST_F(TweetGenerator, AFavouriteNameWithQuotesCannotChangeTheQuery) {
    const std::string hostile = "O'Neil'; DROP TABLE score; --";
    play(hostile, 50, 0);
    takeLog();
    tweetGenerator generator;
    EXPECT_EQ(takeLog(), "");
    EXPECT_EQ(generator.getTemplates()[1], "FACTOID:  I fired 50 rounds with my " + hostile + ". #Kablix");
    EXPECT_EQ(rowCount(), 1);
}

TEST_F(TweetGenerator, AnEmptyTableGivesDegenerateMessages) {
    std::vector<ScoreEvent> none;
    ASSERT_TRUE(QEL::scoreDatabase("../assets/scores.db").store("gone", none));
    execute("DELETE FROM score;");
    takeLog();
    tweetGenerator generator;
    EXPECT_EQ(takeLog(),
              kRunDB + "Tweet Generator failed command: " + kTotalQuery + "\n" +
                  kRunDB + "Tweet Generator failed command: SELECT SUM(hit) FROM score;\n" +
                  kRunDB + "Tweet Generator failed command: SELECT name, max(singleShot+burstShot+autoShot) FROM score\n" +
                  kRunDB + "Tweet Generator failed command: SELECT SUM(singleShot) + SUM(burstShot) + SUM(autoShot) "
                           "FROM score WHERE name='';\n");
    const std::vector<std::string>& templates = generator.getTemplates();
    ASSERT_EQ(templates.size(), 16u);
    EXPECT_EQ(templates[0], "My finger hurts after firing off  rounds in #Kablix");
    EXPECT_EQ(templates[1], "Busy flashing my . #Kablix");
}

TEST_F(TweetGenerator, WithoutATableOrADatabaseOnlyTheFixedTextsRemain) {
    {
        tweetGenerator generator;  // creates an empty database file
        EXPECT_EQ(takeLog().find(kRunDB + "Error querying score database in 'scores.db' file. with command: " +
                                 kTotalQuery + "\n"),
                  0u);
        EXPECT_EQ(generator.getTemplates().size(), 14u);
        EXPECT_EQ(generator.getTemplates()[0], "I fight crime with #Kablix");
    }
    statsTest::fs::remove_all(root / "assets");
    tweetGenerator generator;
    EXPECT_EQ(takeLog(), "   tweetGenerator: Could not open scores.db\n");
    EXPECT_EQ(generator.getTemplates().size(), 14u);
}

// Takes the hashtags off the end of a message and returns how many there were.
int stripHashtags(std::string& message, const std::vector<std::string>& hashtags, std::set<std::string>& seen) {
    int tags = 0;
    for (bool found = true; found;) {
        found = false;
        for (const std::string& tag : hashtags) {
            if (message.size() > tag.size() && message.compare(message.size() - tag.size(), tag.size(), tag) == 0) {
                message.resize(message.size() - tag.size());
                seen.insert(tag);
                ++tags;
                found = true;
                break;
            }
        }
    }
    return tags;
}

TEST_F(TweetGenerator, HashtagCountsAreAQuarterOneAQuarterTwoAndHalfNone) {
    playWeapons(31, 120, 3);
    tweetGenerator generator;
    std::srand(1234);
    const int draws = 8000;
    int byCount[3] = {0, 0, 0};
    std::set<std::string> seenTemplates, seenTags;
    std::string message = "left over";
    for (int i = 0; i < draws; ++i) {
        generator.generateTweet(message);
        const int tags = stripHashtags(message, generator.getHashtags(), seenTags);
        ASSERT_LE(tags, 2) << message;
        ++byCount[tags];
        seenTemplates.insert(message);
    }
    EXPECT_NEAR(byCount[0] / double(draws), 0.5, 0.03);
    EXPECT_NEAR(byCount[1] / double(draws), 0.25, 0.03);
    EXPECT_NEAR(byCount[2] / double(draws), 0.25, 0.03);
    // Every message and every tag can come up.
    EXPECT_EQ(seenTemplates, std::set<std::string>(generator.getTemplates().begin(), generator.getTemplates().end()));
    EXPECT_EQ(seenTags.size(), 20u);
}

}  // namespace
