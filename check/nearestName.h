// Suggestions for misspelt names: the known name closest to an unknown one.
#pragma once

#include <string>
#include <vector>

namespace QEL {

// The known name nearest to `unknown` by edit distance, letter case ignored (so framecount finds
// frameCount), or "" when none is near enough to be a likely misspelling.
std::string nearestName(const std::string& unknown, const std::vector<const char*>& known);

}  // namespace QEL
