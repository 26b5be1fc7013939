// Timing program (not a test): mixer throughput with 64 channels streaming Ogg Vorbis, against
// Tremor's bare decode of the same files and `sox -m` mixing them to the null output, and the
// latency of the opened SDL device. Prints CPU seconds per second of audio.
#include <SDL.h>
#include <sys/resource.h>
#include <tremor/ivorbisfile.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "testing/soundTestSupport.h"

using namespace QEL;
using namespace QEL::soundTest;

namespace {

constexpr int32_t kChannels = 64;
constexpr int32_t kSeconds = 10;
constexpr int32_t kRate = 44100;

double processCpuSeconds() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

double childCpuSeconds() {
    rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

// 64 files of 10 s stereo; eight distinct recordings, each copied eight times.
std::vector<std::string> makeFiles(const ScratchDir& dir) {
    std::vector<std::string> files;
    for (int32_t i = 0; i < 8; ++i) {
        std::string wav = dir.file("src" + std::to_string(i) + ".wav");
        writeFile(wav, wav16(sine(kSeconds * kRate + kRate / 2, kRate, 220.0 + 55.0 * i, 6000, 2, 330.0 + 40.0 * i),
                             2, kRate));
        if (!encodeOgg(wav, dir.file("src" + std::to_string(i) + ".ogg"))) return {};
    }
    for (int32_t i = 0; i < kChannels; ++i) {
        std::string path = dir.file("ch" + std::to_string(i) + ".ogg");
        std::string copy = "cp '" + dir.file("src" + std::to_string(i % 8) + ".ogg") + "' '" + path + "'";
        if (std::system(copy.c_str()) != 0) return {};
        files.push_back(path);
    }
    return files;
}

// `loadFlags` hssLoadDecodeOgg decodes the files beforehand: what is left is the mixing alone.
double mixerSeconds(const std::vector<std::string>& files, uint32_t loadFlags) {
    auto speaker = offlineSpeaker(8, kChannels);
    std::vector<hssSound> sounds(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        if (sounds[i].load(files[i].c_str(), loadFlags) != 0 || start(*speaker, sounds[i]) < 0) return -1.0;
    }
    std::vector<int16_t> buffer(hssBufferFrames * 2);
    const int32_t buffers = kSeconds * kRate / hssBufferFrames;
    double begin = processCpuSeconds();
    for (int32_t b = 0; b < buffers; ++b) speaker->mix(reinterpret_cast<uint8_t*>(buffer.data()), hssBufferFrames * 4);
    return processCpuSeconds() - begin;
}

double bareDecodeSeconds(const std::vector<std::string>& files) {
    double begin = processCpuSeconds();
    char block[4096];
    const long wanted = static_cast<long>(kSeconds) * kRate * 4;
    for (const std::string& path : files) {
        FILE* file = std::fopen(path.c_str(), "rb");
        OggVorbis_File vorbis;
        if (!file || ov_open(file, &vorbis, nullptr, 0) != 0) return -1.0;  // ov_clear closes the file
        int bitstream = 0;
        for (long total = 0; total < wanted;) {
            long got = ov_read(&vorbis, block, sizeof block, &bitstream);
            if (got == OV_HOLE) continue;
            if (got <= 0) break;
            total += got;
        }
        ov_clear(&vorbis);
    }
    return processCpuSeconds() - begin;
}

// The same decode, but the 64 decoders take turns a buffer's worth (1024 frames) at a time, as
// they must when they play at once: the floor for 64 simultaneous streams.
double interleavedDecodeSeconds(const std::vector<std::string>& files) {
    std::vector<OggVorbis_File> decoders(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        FILE* file = std::fopen(files[i].c_str(), "rb");
        if (!file || ov_open(file, &decoders[i], nullptr, 0) != 0) return -1.0;
    }
    char block[4096];
    double begin = processCpuSeconds();
    for (int32_t b = 0; b < kSeconds * kRate / hssBufferFrames; ++b)
        for (OggVorbis_File& decoder : decoders) {
            int bitstream = 0;
            for (long total = 0; total < hssBufferFrames * 4;) {
                long got = ov_read(&decoder, block, static_cast<int>(sizeof block), &bitstream);
                if (got == OV_HOLE) continue;
                if (got <= 0) break;
                total += got;
            }
        }
    double seconds = processCpuSeconds() - begin;
    for (OggVorbis_File& decoder : decoders) ov_clear(&decoder);
    return seconds;
}

double soxSeconds(const std::vector<std::string>& files) {
    std::string command = "sox -m";
    for (const std::string& path : files) command += " '" + path + "'";
    command += " -n trim 0 " + std::to_string(kSeconds) + " 2>/dev/null";
    double begin = childCpuSeconds();
    if (std::system(command.c_str()) != 0) return -1.0;
    return childCpuSeconds() - begin;
}

void printLatency() {
    setenv("SDL_AUDIODRIVER", std::getenv("SDL_AUDIODRIVER") ? std::getenv("SDL_AUDIODRIVER") : "dummy", 1);
    if (SDL_Init(SDL_INIT_AUDIO) != 0) {
        std::printf("latency: SDL audio not available: %s\n", SDL_GetError());
        return;
    }
    hssSpeaker speaker;
    if (speaker.open(44100, 16, 1, 8, 64) != 0) {
        std::printf("latency: the device did not open\n");
    } else {
        auto* driver = static_cast<hssSDLDriver*>(speaker.getDriver());
        char name[64] = "?";
        SDL_AudioDriverName(name, sizeof name);
        std::printf("latency: %d ms (one buffer of %d frames at 44100 Hz, SDL driver '%s')\n", speaker.latencyMs(),
                    driver->bufferFrames(), name);
    }
    SDL_Quit();
}

}  // namespace

int main() {
    ScratchDir dir;
    std::printf("making %d Ogg Vorbis files of %d s ...\n", kChannels, kSeconds);
    std::fflush(stdout);
    std::vector<std::string> files = makeFiles(dir);
    if (files.empty()) {
        std::printf("could not make the files (oggenc needed)\n");
        return 1;
    }
    double mixer = mixerSeconds(files, 0);
    double mixOnly = mixerSeconds(files, hssLoadDecodeOgg);
    double decode = bareDecodeSeconds(files);
    double interleaved = interleavedDecodeSeconds(files);
    double sox = soxSeconds(files);
    std::printf("mixer, %d streaming channels: %.4f CPU s per s of audio\n", kChannels, mixer / kSeconds);
    std::printf("mixer alone, %d channels decoded beforehand: %.4f CPU s per s of audio\n", kChannels,
                mixOnly / kSeconds);
    std::printf("bare Tremor decode of the same files: %.4f CPU s per s of audio\n", decode / kSeconds);
    std::printf("bare Tremor decode, the 64 decoders taking turns per buffer: %.4f CPU s per s of audio\n",
                interleaved / kSeconds);
    if (sox >= 0.0)
        std::printf("sox -m of the same files to null: %.4f CPU s per s of audio\n", sox / kSeconds);
    else
        std::printf("sox -m: not available\n");
    std::printf("mixer / bare decode: %.3f; mixer / decode taking turns: %.3f\n", decode > 0.0 ? mixer / decode : 0.0,
                interleaved > 0.0 ? mixer / interleaved : 0.0);
    printLatency();
    return 0;
}
