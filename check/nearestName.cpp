#include "check/nearestName.h"

#include <algorithm>
#include <cctype>

namespace QEL {

namespace {

std::string lowered(const std::string& text) {
    std::string result = text;
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string nearestName(const std::string& unknown, const std::vector<const char*>& known) {
    // Names in files are short; a third of the name (at least one edit) still reads as a typo.
    const std::string wanted = lowered(unknown);
    const size_t limit = std::max<size_t>(1, wanted.size() / 3);
    std::string best;
    size_t bestDistance = limit + 1;
    for (const char* name : known) {
        const size_t distance = editDistance(wanted, lowered(name));
        if (distance < bestDistance) {
            bestDistance = distance;
            best = name;
        }
    }
    return best;
}

}  // namespace QEL
