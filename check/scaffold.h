// kablix-check --new NAME: writes a complete starting weapon into a pack folder: NAME.xml with
// single and auto fire, firstShot, two shots, lastShot, windDown, reload, emptyState and an idle,
// cartridges, a smoke emitter and a magazine, and its placeholder pictures and sounds
// (placeholderArt), all named after NAME so that several such weapons share one folder. The result
// checks clean and plays once the pack has the shared files every weapon uses.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace QEL {

// Writes the weapon `name` into `folder` and tells `out` what it wrote and the line to add to the
// catalogue at `cataloguePath` (a free key of it, or 0 when it cannot be read). Refuses, writing
// nothing and saying why on `errors`, when the name is not usable (letters, digits, '_', '-' and
// '.', not first, at most 64 characters: an ordinary file name the catalogue can hold), the folder
// is not there, or any file it would write exists already. Returns the exit status: 0 written,
// 1 refused, 2 a bad name.
// In a pack (`inPack`), the catalogue is not mentioned: the caller says how to take the weapon up.
int writeScaffold(const std::string& name, const std::string& folder, const std::string& cataloguePath,
                  std::ostream& out, std::ostream& errors, bool inPack = false);

// True for a name a new weapon may have (see writeScaffold).
bool weaponNameUsable(const std::string& name);

// Writes `size` bytes to a new file at `path`, made only when nothing is there (O_EXCL), so even a
// file that appears meanwhile is kept; a file not written in full is removed again.
bool writeNewFile(const std::string& path, const char* data, size_t size);

}  // namespace QEL
