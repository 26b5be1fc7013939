// A pack's manifest, pack.xml at the pack's root:
//   <kablixPack name="desert" title="Desert Arms" version="1.2" author="..." license="CC-BY-4.0"/>
// `name` is what the pack is mounted and installed as (lower-case letters, digits, '-' and '_',
// 1 to 24 characters), so it is checked strictly; the other attributes are shown to players.
#pragma once

#include <string>

namespace QEL {

struct packManifest {
    std::string name;
    std::string title;
    std::string version;
    std::string author;   // may be empty
    std::string license;  // may be empty
};

// The longest manifest read; a real one is a few hundred bytes.
constexpr size_t kMaxManifestBytes = 16 * 1024;

// Reads a manifest from its text. False with `problem` set to one reason, phrased to follow
// "pack.xml " (for example "has no title (<kablixPack title=\"...\">)").
bool readPackManifest(const std::string& text, packManifest& manifest, std::string& problem);

// True for a valid pack name; the installer and the remover check names given on the command line too.
bool validPackName(const std::string& name);

}  // namespace QEL
