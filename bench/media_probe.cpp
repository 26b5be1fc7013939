// kablix_media_probe: the game's own readers over one file, for the reader tables in tests/ and the
// corpus count (media_corpus.py). Prints one line on standard output and writes what was decoded:
//   picture FILE OUT  "loaded BPP WIDTH HEIGHT" (the padded texture, bottom row first, in OUT) or
//                     "refused CODE: REASON"
//   sound FILE OUT    "loaded CHANNELS RATE FRAMES" (signed 16-bit native samples as the mixer
//                     plays them, in OUT) or "refused CODE: WHAT IT HOLDS"
//   xml FILE          "ok" or "refused LINE:COLUMN: MESSAGE" (the strict pass of kablix-check)
//   lenient FILE      "ok" or "refused LINE:COLUMN: MESSAGE" (the game's own reader)
// The game's log lines go to standard error.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "check/packChecker.h"
#include "render/Image.h"
#include "render/pictureFormat.h"
#include "sound/hss/hssSound.h"
#include "xml/XMLSerializer.h"
#include "xml/wellFormed.h"

namespace {

FILE* answer = nullptr;  // the real standard output; the readers' log goes to standard error

bool write(const std::string& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

int picture(const std::string& path, const std::string& out) {
    QEL::Image image;
    const uint32_t result = image.Load(path);
    if (result != QEL::kImageLoaded || (image.getBpp() != 24 && image.getBpp() != 32)) {
        std::fprintf(answer, "refused %u: %s\n", result, QEL::pictureRefusal(path).c_str());
        return 2;
    }
    write(out, image.getPixels(), image.byteCount());
    std::fprintf(answer, "loaded %d %d %d\n", image.getBpp(), image.getWidth(), image.getHeight());
    return 0;
}

int sound(const std::string& path, const std::string& out) {
    QEL::hssSound sound;
    const int32_t result = sound.load(path.c_str(), QEL::hssLoadDecodeOgg);
    if (result != 0) {
        std::fprintf(answer, "refused %d: %s\n", result, QEL::soundFormatOf(path).c_str());
        return 2;
    }
    const int channels = sound.isStereo() ? 2 : 1;
    const size_t count = static_cast<size_t>(sound.getLength()) * channels;
    std::vector<int16_t> samples(count);
    const auto* bytes = static_cast<const uint8_t*>(sound.getData());
    for (size_t i = 0; i < count; ++i) {  // 8-bit samples as the mixer widens them
        int16_t value = 0;
        if (sound.is8Bit()) value = static_cast<int16_t>((bytes[i] - 128) * 256);
        else std::memcpy(&value, bytes + 2 * i, 2);
        samples[i] = value;
    }
    write(out, samples.data(), samples.size() * 2);
    std::fprintf(answer, "loaded %d %d %lld\n", channels, sound.getSampleRate(), static_cast<long long>(sound.getLength()));
    return 0;
}

int xml(const std::string& path) {
    std::string text;
    if (!QEL::readXMLText(path, text)) {
        std::fprintf(answer, "refused 0:0: cannot open\n");
        return 2;
    }
    const QEL::xmlProblem problem = QEL::strictProblem(text);
    if (problem.message.empty()) {
        std::fprintf(answer, "ok\n");
        return 0;
    }
    std::fprintf(answer, "refused %d:%d: %s\n", problem.line, problem.column, problem.message.c_str());
    return 2;
}

int lenient(const std::string& path) {
    std::string text;
    int line = 0, column = 0;
    if (!QEL::readXMLText(path, text) || QEL::nestsTooDeep(text, line, column)) {
        std::fprintf(answer, "refused %d:%d: cannot open, or nests too deep\n", line, column);
        return 2;
    }
    TiXmlDocument document;
    document.Parse(text.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
    if (!document.Error() && document.FirstChildElement()) {
        std::fprintf(answer, "ok\n");
        return 0;
    }
    std::fprintf(answer, "refused %d:%d: %s\n", document.ErrorRow(), document.ErrorCol(),
                 document.Error() ? document.ErrorDesc() : "no element");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    answer = fdopen(dup(1), "w");
    dup2(2, 1);
    const std::string kind = argc > 2 ? argv[1] : "";
    int status = 64;
    if (kind == "picture" && argc == 4) status = picture(argv[2], argv[3]);
    else if (kind == "sound" && argc == 4) status = sound(argv[2], argv[3]);
    else if (kind == "xml" && argc == 3) status = xml(argv[2]);
    else if (kind == "lenient" && argc == 3) status = lenient(argv[2]);
    else std::fprintf(answer, "usage: kablix_media_probe picture|sound FILE OUT | xml|lenient FILE\n");
    std::fflush(stdout);
    std::fclose(answer);
    return status;
}
