// Composes short boastful status messages with hashtags, some quoting the user's statistics.
// The score database is read once, at construction; later changes do not reach this generator.
// Owned by the main loop, created at the first request.
#pragma once

#include <string>
#include <vector>

struct sqlite3;

namespace QEL {

class tweetGenerator {
public:
    tweetGenerator();

    // Replaces `out` with a random message carrying none, one or two random hashtags.
    void generateTweet(std::string& out);

    // Runs one query and replaces `command` with the first column of its last row (empty for
    // no row or NULL). Returns false when the query failed; `command` is then unchanged.
    static bool runDBCommand(sqlite3* db, std::string& command);

    const std::vector<std::string>& getTemplates() const { return templates; }
    const std::vector<std::string>& getHashtags() const { return hashtags; }

private:
    bool queryStatistics(sqlite3* db, std::string results[5]);
    void addStatisticsMessages(const std::string results[5]);

    std::vector<std::string> templates;  // complete message texts
    std::vector<std::string> hashtags;   // each begins with one blank
};

}  // namespace QEL
