// The findings of one run of the pack checker: each one a place in a file and a message, printed as
// "file:line:column: error|warning: message" (the shape compilers use, so editors can jump to it).
// Findings are printed file by file, in the order the files were first named, and by position
// within a file.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

class TiXmlBase;

namespace QEL {

enum class findingKind { error, warning };

struct finding {
    std::string file;
    int line = 1;
    int column = 1;
    findingKind kind = findingKind::error;
    std::string message;
};

class findingList {
public:
    void add(const std::string& file, int line, int column, findingKind kind, const std::string& message);
    // At the position of an element or attribute (line 1, column 1 for a null node).
    void add(const std::string& file, const TiXmlBase* node, findingKind kind, const std::string& message);

    size_t errorCount() const { return errors; }
    size_t warningCount() const { return warnings; }
    size_t errorsIn(const std::string& file) const;
    const std::vector<finding>& all() const { return findings; }

    // Every finding, sorted as described above; the pointers live as long as the list is unchanged.
    std::vector<const finding*> inPrintOrder() const;
    // One finding as printed: "file:line:column: error|warning: message".
    static std::string lineOf(const finding& f);
    // Every finding, one line each, in print order.
    void print(std::ostream& out) const;

private:
    std::vector<finding> findings;
    std::vector<std::string> fileOrder;
    size_t errors = 0;
    size_t warnings = 0;
};

}  // namespace QEL
