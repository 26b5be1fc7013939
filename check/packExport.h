// kablix-check --export: writes a pack folder that checked clean as NAME-VERSION.zip, ready for
// kablix --add-pack. The archive holds exactly the pack's own files, sorted by name, each with the
// same fixed time, attributes and compression, so one folder always gives the same bytes (a
// shared pack can be compared with its source by a checksum).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "xml/packManifest.h"

namespace QEL {

// Writes `outDir`/NAME-VERSION.zip from `files` of `packDir` and says so on `out`; false, with
// the reason on `errors`, when the version cannot be part of a file name or writing fails.
bool exportPack(const packManifest& manifest, const std::string& packDir, const std::vector<std::string>& files,
                const std::string& outDir, std::ostream& out, std::ostream& errors);

}  // namespace QEL
