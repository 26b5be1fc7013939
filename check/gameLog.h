// The game's readers report through log lines on standard output, which is the checker's own
// report. A gameLog catches those lines while game code runs (std::cout is redirected for the
// object's lifetime) so the checker can turn them into findings instead.
#pragma once

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace QEL {

struct gameLogLine {
    enum Kind { error, warning, status, plain } kind;
    std::string text;  // the message without the "E: (fn) " / "W: (fn) " / blank prefix
};

class gameLog {
public:
    gameLog() : previous(std::cout.rdbuf(caught.rdbuf())) {}
    ~gameLog() { std::cout.rdbuf(previous); }
    gameLog(const gameLog&) = delete;
    gameLog& operator=(const gameLog&) = delete;

    // The lines caught so far. A message that itself holds line breaks comes back as several lines.
    std::vector<gameLogLine> lines() const;
    // The first error or warning line's text, or "" when there was none.
    std::string firstProblem() const;

private:
    std::ostringstream caught;
    std::streambuf* previous;
};

}  // namespace QEL
