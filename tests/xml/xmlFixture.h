// A temporary working directory with a sibling assets folder, as the game runs, and the standard
// output captured for the exact log lines.
#pragma once

#include "tests/support/assetsFolder.h"

#include <filesystem>

namespace xmltest {

namespace fs = std::filesystem;

class AssetsDir : public QEL::testing::AssetsFolderTest {};

}  // namespace xmltest
