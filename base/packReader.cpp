#include "base/packReader.h"

#include <physfs.h>

#include <algorithm>
#include <cstring>

namespace QEL {

namespace {

std::string physfsError() { return PHYSFS_getErrorByCode(PHYSFS_getLastErrorCode()); }

std::string cannotMount() { return "it cannot be opened as a pack (" + physfsError() + ")"; }

// A read-only stream over bytes the caller keeps. PhysicsFS 3.0's own memory stream
// (PHYSFS_mountMemory) is not freed when its archive is unmounted, so every install would leak it.
struct byteStream {
    const unsigned char* bytes;
    PHYSFS_uint64 size;
    PHYSFS_uint64 at = 0;
};

PHYSFS_Io* newByteStream(const unsigned char* bytes, PHYSFS_uint64 size);

PHYSFS_sint64 readStream(PHYSFS_Io* io, void* out, PHYSFS_uint64 wanted) {
    byteStream& stream = *static_cast<byteStream*>(io->opaque);
    const PHYSFS_uint64 count = std::min(wanted, stream.size - stream.at);
    std::memcpy(out, stream.bytes + stream.at, static_cast<size_t>(count));
    stream.at += count;
    return static_cast<PHYSFS_sint64>(count);
}
int seekStream(PHYSFS_Io* io, PHYSFS_uint64 to) {
    byteStream& stream = *static_cast<byteStream*>(io->opaque);
    if (to > stream.size) return 0;
    stream.at = to;
    return 1;
}
PHYSFS_sint64 tellStream(PHYSFS_Io* io) { return static_cast<PHYSFS_sint64>(static_cast<byteStream*>(io->opaque)->at); }
PHYSFS_sint64 streamLength(PHYSFS_Io* io) { return static_cast<PHYSFS_sint64>(static_cast<byteStream*>(io->opaque)->size); }
PHYSFS_Io* duplicateStream(PHYSFS_Io* io) {
    const byteStream& stream = *static_cast<byteStream*>(io->opaque);
    return newByteStream(stream.bytes, stream.size);
}
int flushStream(PHYSFS_Io*) { return 1; }
void destroyStream(PHYSFS_Io* io) {
    delete static_cast<byteStream*>(io->opaque);
    delete io;
}

PHYSFS_Io* newByteStream(const unsigned char* bytes, PHYSFS_uint64 size) {
    return new PHYSFS_Io{0, new byteStream{bytes, size}, readStream, nullptr, seekStream, tellStream, streamLength,
                         duplicateStream, flushStream, destroyStream};
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

bool packFileIsRegular(const std::string& file) {
    PHYSFS_Stat stat;
    return PHYSFS_isInit() && PHYSFS_stat(file.c_str(), &stat) && stat.filetype == PHYSFS_FILETYPE_REGULAR;
}

bool readPackFile(const std::string& file, size_t maxBytes, std::string& out, std::string& problem) {
    if (!PHYSFS_isInit()) {
        problem = "does not exist";
        return false;
    }
    PHYSFS_Stat stat;
    const auto fail = [&problem](const std::string& what) {
        problem = what;
        return false;
    };
    if (!PHYSFS_stat(file.c_str(), &stat)) return fail("does not exist");
    if (stat.filetype != PHYSFS_FILETYPE_REGULAR) return fail("is not a regular file");
    if (stat.filesize < 0 || static_cast<PHYSFS_uint64>(stat.filesize) > maxBytes)
        return fail("is larger than " + std::to_string(maxBytes) + " bytes");
    PHYSFS_File* handle = PHYSFS_openRead(file.c_str());
    if (!handle) return fail("cannot be opened (" + physfsError() + ")");
    // One byte more than announced is asked for, so a file that grew since stat is noticed.
    out.assign(static_cast<size_t>(stat.filesize) + 1, '\0');
    const PHYSFS_sint64 got = PHYSFS_readBytes(handle, &out[0], out.size());
    PHYSFS_close(handle);
    if (got != stat.filesize) return fail("could not be read at its announced size");
    out.resize(static_cast<size_t>(got));
    return true;
}

packReader::packReader() {
    if (PHYSFS_isInit()) {
        lastProblem = "the pack file system is already in use";
        return;
    }
    if (!PHYSFS_init(nullptr)) {
        lastProblem = "cannot start the pack file system: " + physfsError();
        return;
    }
    PHYSFS_permitSymbolicLinks(0);
    owner = true;
}

packReader::~packReader() {
    if (!owner) return;
    PHYSFS_deinit();
}

bool packReader::fail(const std::string& what) {
    lastProblem = what;
    return false;
}

bool packReader::mount(const std::string& path, const std::string& name) {
    if (!owner) return false;
    if (!PHYSFS_mount(path.c_str(), ("/" + name).c_str(), 1)) return fail(cannotMount());
    return true;
}

bool packReader::mountArchiveBytes(const std::vector<unsigned char>& bytes, const std::string& path,
                                   const std::string& name) {
    if (!owner) return false;
    // PhysicsFS tries the archiver the name's extension suggests first; on failure the stream stays ours.
    PHYSFS_Io* stream = newByteStream(bytes.data(), bytes.size());
    if (PHYSFS_mountIo(stream, path.c_str(), ("/" + name).c_str(), 1)) return true;
    const std::string problem = cannotMount();
    destroyStream(stream);
    return fail(problem);
    return true;
}

void packReader::unmount(const std::string& path) {
    if (owner) PHYSFS_unmount(path.c_str());
}

bool packReader::readFile(const std::string& file, size_t maxBytes, std::string& out) {
    if (!owner) return false;
    return readPackFile(file, maxBytes, out, lastProblem);
}

std::vector<std::string> packReader::weaponFiles(const std::string& name) const {
    std::vector<std::string> files;
    if (!owner) return files;
    char** listed = PHYSFS_enumerateFiles(("/" + name).c_str());
    for (char** entry = listed; entry && *entry; ++entry) {
        const std::string file = name + "/" + *entry;
        PHYSFS_Stat stat;
        if (endsWith(*entry, ".xml") && std::string(*entry) != "pack.xml" && PHYSFS_stat(file.c_str(), &stat) &&
            stat.filetype == PHYSFS_FILETYPE_REGULAR)
            files.push_back(file);
    }
    PHYSFS_freeList(listed);
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace QEL
