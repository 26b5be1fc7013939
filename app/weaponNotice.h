// What the window says when a weapon is refused or fails to load, or is loaded again while its
// author works on it: its name and the first three findings kablix-check gives for it (errors
// before warnings), each as "file:line:column: error|warning: message", wrapped to the window's
// width. The checker reads the base folder: for a pack's weapon ("PACK/WEAPON") the notice says
// how to check its pack instead.
#pragma once

#include <string>
#include <vector>

namespace QEL {

// Checks the weapon with base name `name` as kablix-check would. The checker's reading of the
// files is caught, so standard output keeps only the game's own lines.
std::string weaponNotice(const std::string& name);

// For a weapon that loaded although its check failed: the first three findings kablix-check gives.
std::string problemsNotice(const std::string& name);

// For a weapon that loaded while its author works on it: the first three findings kablix-check
// gives for it, or empty when it finds nothing.
std::string reviewNotice(const std::string& name);

// What a weapon that loaded could not use (cAssetMgr::loadProblems), the first three; empty when
// it used everything.
std::string loadNotice(const std::string& name, const std::vector<std::string>& problems);

}  // namespace QEL
