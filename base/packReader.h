// Reads packs (a folder or a .zip archive with pack.xml at its root) through PhysicsFS: each pack
// is mounted read-only under a name of its own, paths with ".." are refused by PhysicsFS itself,
// symbolic links are never followed, and a file's size is checked before it is read into memory.
//
// PhysicsFS keeps one search path for the whole process (PHYSFS_init / PHYSFS_deinit are global),
// so exactly one packReader may exist at a time: it owns that state from construction to
// destruction, and a second one reports !ready() instead of tearing down the first one's mounts.
// Main thread only.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace QEL {

// The pack file system's own reads, for whoever reads a mounted pack's files (the asset readers):
// whether `file` ("NAME/FILE") is a regular file, and the same read as packReader::readFile.
bool packFileIsRegular(const std::string& file);
bool readPackFile(const std::string& file, size_t maxBytes, std::string& out, std::string& problem);

class packReader {
public:
    packReader();
    ~packReader();
    packReader(const packReader&) = delete;
    packReader& operator=(const packReader&) = delete;

    // False when PhysicsFS could not start, or another packReader already owns it; `problem()` says why.
    bool ready() const { return owner; }

    // Mounts the folder or .zip at `path` (a real path) read-only at "/" + `name`; the bytes
    // version mounts an archive held in memory, which must outlive the mount (`path` then only
    // names it for messages and unmount). False with problem() set on failure.
    bool mount(const std::string& path, const std::string& name);
    bool mountArchiveBytes(const std::vector<unsigned char>& bytes, const std::string& path, const std::string& name);
    void unmount(const std::string& path);

    // Reads `file` ("NAME/pack.xml") whole into `out` when it is a regular file of at most
    // `maxBytes`; false otherwise, with problem() saying what is wrong with the file in words that
    // follow its name ("does not exist", "is larger than 16384 bytes").
    bool readFile(const std::string& file, size_t maxBytes, std::string& out);

    // The weapon files of the pack mounted as `name`: its root's *.xml other than pack.xml, as
    // "NAME/FILE.xml", sorted.
    std::vector<std::string> weaponFiles(const std::string& name) const;

    const std::string& problem() const { return lastProblem; }

private:
    bool fail(const std::string& what);

    bool owner = false;
    std::string lastProblem;
};

}  // namespace QEL
