#include "check/packExport.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <memory>

#include <zip.h>

namespace QEL {

namespace {

// 1980-01-01 00:00, the earliest time a zip entry can carry, for every entry.
constexpr zip_uint16_t kFixedDate = (0 << 9) | (1 << 5) | 1;
constexpr zip_uint16_t kFixedTime = 0;
constexpr zip_uint32_t kFileAttributes = 0100644u << 16;  // a plain file, rw-r--r--, as Unix zip tools write it

bool usableInFileName(const std::string& version) {
    if (version.empty() || version[0] == '.') return false;
    return std::all_of(version.begin(), version.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_' || c == '+';
    });
}

struct archiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

}  // namespace

bool exportPack(const packManifest& manifest, const std::string& packDir, const std::vector<std::string>& files,
                const std::string& outDir, std::ostream& out, std::ostream& errors) {
    if (!usableInFileName(manifest.version)) {
        errors << "kablix-check: cannot export: the version '" << manifest.version
               << "' cannot be part of a file name (use letters, digits, '.', '-', '_' and '+')\n";
        return false;
    }
    const std::string target = outDir + "/" + manifest.name + "-" + manifest.version + ".zip";
    int error = 0;
    std::unique_ptr<zip_t, archiveCloser> archive(zip_open(target.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error));
    if (!archive) {
        zip_error_t why;
        zip_error_init_with_code(&why, error);
        errors << "kablix-check: cannot write " << target << ": " << zip_error_strerror(&why) << "\n";
        zip_error_fini(&why);
        return false;
    }
    std::vector<std::string> sorted = files;
    std::sort(sorted.begin(), sorted.end());
    // libzip reads the sources when the archive is closed, so the bytes are kept until then.
    std::vector<std::string> contents(sorted.size());
    for (size_t i = 0; i < sorted.size(); ++i) {
        std::ifstream in(packDir + "/" + sorted[i], std::ios::binary);
        contents[i].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        zip_source_t* source = in ? zip_source_buffer(archive.get(), contents[i].data(), contents[i].size(), 0) : nullptr;
        const zip_int64_t index = source ? zip_file_add(archive.get(), sorted[i].c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (source) zip_source_free(source);
            errors << "kablix-check: cannot export " << packDir << "/" << sorted[i] << "\n";
            return false;
        }
        const zip_uint64_t at = zip_uint64_t(index);
        if (zip_file_set_dostime(archive.get(), at, kFixedTime, kFixedDate, 0) != 0 ||
            zip_file_set_external_attributes(archive.get(), at, 0, ZIP_OPSYS_UNIX, kFileAttributes) != 0 ||
            zip_set_file_compression(archive.get(), at, ZIP_CM_DEFLATE, 9) != 0) {
            errors << "kablix-check: cannot export " << sorted[i] << ": " << zip_strerror(archive.get()) << "\n";
            return false;
        }
    }
    if (zip_close(archive.get()) != 0) {
        errors << "kablix-check: cannot write " << target << ": " << zip_strerror(archive.get()) << "\n";
        return false;
    }
    archive.release();
    out << "wrote " << target << ": pack " << manifest.name << " " << manifest.version << ", " << sorted.size()
        << " files; kablix --add-pack " << target << " installs it\n";
    return true;
}

}  // namespace QEL
