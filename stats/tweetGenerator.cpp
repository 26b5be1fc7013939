#include "stats/tweetGenerator.h"

#include <sqlite3.h>

#include <cstdlib>

#include "base/assetPath.h"
#include "base/log.h"
#include "stats/scoreDatabase.h"

namespace QEL {

namespace {

const char* const kLogName = "QEL::tweetGenerator::runDBCommand";

const char* const kFixedTexts[] = {
    "I fight crime with #Kablix",
    "I fight crime #AllDay with #Kablix",
    "Productively using #Kablix at work. #werk",
    "So... many... #gunz... O_O #Kablix",
    "Parked in #traffic. Here's my thoughts: #Kablix",
    "#SittingInTraffic ...#Kablix",
    "Plan: clean my room. Reality: playing #Kablix",
    "The only solution to this is #Kablix. #YoureWelcome",
    "I love #gunz. #Kablix",
    "#Kablix #GETIT #YoureWelcome",
    "Do machine gun firing sounds inhibit good concentration? #interesting #Kablix",
    "I've got #Kablix and I know how to use it !!!!",
    "Did someone just point their #Kablix at me?  #HeCray !",
    "Gonna spend my #weekend improving my aim. #Kablix",
};

const char* const kHashtags[] = {
    " #PowPow",  " #BangBang",  " #PewPew",   " #BlamBlam !", " #Gangsta4Lyfe",   " #KABLAM !!", " #Pow",
    " #Pow !",   " #GeekedUp",  " @thekablix", " #TNT",       " #RaTaTaT",        " #lmao",      " #everyday",
    " #gangsta", " #ThugLife",  " #saynotodrugs", " #PackingHeat", " #timemanagement", " #Unproductivity",
};

enum Statistic { totalRounds, hitsTaken, weaponsUsed, favouriteWeapon, favouriteRounds, statisticCount };

// Keeps the first column of the latest row; NULL reads as an empty text.
int keepFirstColumn(void* result, int columns, char** values, char** /*names*/) {
    *static_cast<std::string*>(result) = (columns > 0 && values[0]) ? values[0] : "";
    return 0;
}

// The favourite weapon's name is quoted by SQLite itself, so no name can change the query.
std::string favouriteRoundsQuery(const std::string& weaponName) {
    char* text = sqlite3_mprintf(
        "SELECT SUM(singleShot) + SUM(burstShot) + SUM(autoShot) FROM score WHERE name=%Q;", weaponName.c_str());
    std::string query = text ? text : "";
    sqlite3_free(text);
    return query;
}

// A count read from a result text; an empty text counts as 0.
long long countOf(const std::string& text) {
    return std::strtoll(text.c_str(), nullptr, 10);
}

}  // namespace

tweetGenerator::tweetGenerator() {
    std::string results[statisticCount];
    bool haveStatistics = false;
    sqlite3* db = nullptr;
    if (sqlite3_open(assetPath("scores", "db").c_str(), &db) != SQLITE_OK)
        logStatus("tweetGenerator: Could not open scores.db");
    else if (sqlite3_busy_timeout(db, kScoreBusyTimeoutMs) == SQLITE_OK)
        haveStatistics = queryStatistics(db, results);
    sqlite3_close(db);

    if (haveStatistics) addStatisticsMessages(results);
    templates.insert(templates.end(), std::begin(kFixedTexts), std::end(kFixedTexts));
    hashtags.assign(std::begin(kHashtags), std::end(kHashtags));
}

bool tweetGenerator::queryStatistics(sqlite3* db, std::string results[]) {
    results[totalRounds] = "SELECT SUM(singleShot) + SUM(burstShot) + SUM(autoShot) FROM score;";
    results[hitsTaken] = "SELECT SUM(hit) FROM score;";
    results[weaponsUsed] = "SELECT COUNT(*) FROM score";
    results[favouriteWeapon] = "SELECT name, max(singleShot+burstShot+autoShot) FROM score";
    // Every query runs, so that each failure is logged.
    bool allSucceeded = true;
    for (int i = totalRounds; i <= favouriteWeapon; ++i) allSucceeded = runDBCommand(db, results[i]) && allSucceeded;
    results[favouriteRounds] = favouriteRoundsQuery(results[favouriteWeapon]);
    return runDBCommand(db, results[favouriteRounds]) && allSucceeded;
}

void tweetGenerator::addStatisticsMessages(const std::string results[]) {
    const std::string& weapon = results[favouriteWeapon];
    templates.push_back("My finger hurts after firing off " + results[totalRounds] + " rounds in #Kablix");
    if (countOf(results[favouriteRounds]) > 9)
        templates.push_back("FACTOID:  I fired " + results[favouriteRounds] + " rounds with my " + weapon + ". #Kablix");
    if (countOf(results[hitsTaken]) > 2)
        templates.push_back("Did you know? I survived being shot " + results[hitsTaken] + " times. #Kablix. #Trivia");
    templates.push_back("Busy flashing my " + weapon + ". #Kablix");
    if (countOf(results[weaponsUsed]) > 30)
        templates.push_back("I've shot off " + results[weaponsUsed] + " weapons in #Kablix - #NOT. #ENOUGH !!");
}

bool tweetGenerator::runDBCommand(sqlite3* db, std::string& command) {
    std::string result;
    char* errorText = nullptr;
    const int code = sqlite3_exec(db, command.c_str(), keepFirstColumn, &result, &errorText);
    if (errorText) {
        logError(kLogName, "Error querying score database in 'scores.db' file.", " with command: ", command);
        sqlite3_free(errorText);
        return false;
    }
    if (code != SQLITE_OK) {
        logError(kLogName, "SQL error: ", " with command: ", command);
        return false;
    }
    if (result.empty()) logError(kLogName, "Tweet Generator failed command: ", command);
    command = result;
    return true;
}

void tweetGenerator::generateTweet(std::string& out) {
    out = templates[std::rand() % templates.size()];
    const int tagCount = std::rand() % 4;  // 1 and 2 append that many; 0 and 3 append none
    if (tagCount == 1 || tagCount == 2)
        for (int i = 0; i < tagCount; ++i) out += hashtags[std::rand() % hashtags.size()];
}

}  // namespace QEL
