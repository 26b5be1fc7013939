#include "check/gameLog.h"

namespace QEL {

namespace {

// "E: (fn) <BEL>text" or "W: (fn) text": the text after the function name.
std::string afterFunctionName(const std::string& line) {
    const size_t close = line.find(") ");
    std::string text = close == std::string::npos ? line.substr(3) : line.substr(close + 2);
    if (!text.empty() && text[0] == '\a') text.erase(0, 1);
    return text;
}

}  // namespace

std::vector<gameLogLine> gameLog::lines() const {
    std::vector<gameLogLine> result;
    std::istringstream in(caught.str());
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("E: (", 0) == 0) {
            result.push_back({gameLogLine::error, afterFunctionName(line)});
        } else if (line.rfind("W: (", 0) == 0) {
            result.push_back({gameLogLine::warning, afterFunctionName(line)});
        } else if (line.rfind("   ", 0) == 0) {
            result.push_back({gameLogLine::status, line.substr(3)});
        } else {
            result.push_back({gameLogLine::plain, line});
        }
    }
    return result;
}

std::string gameLog::firstProblem() const {
    for (const gameLogLine& line : lines()) {
        if (line.kind == gameLogLine::error || line.kind == gameLogLine::warning) return line.text;
    }
    return std::string();
}

}  // namespace QEL
