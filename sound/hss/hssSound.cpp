#include "sound/hss/hssSound.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "sound/hss/hssResult.h"
#include "sound/hss/hssStream.h"

namespace QEL {

namespace {

size_t streamRead(void* destination, size_t size, size_t count, void* source) {
    auto* decoder = static_cast<hssStreamDecoder*>(source);
    if (size == 0 || !decoder->file->seek(decoder->position, hssSeekStart)) return 0;
    size_t got = decoder->file->read(destination, size * count);
    decoder->position += static_cast<int64_t>(got);
    return got / size;
}

int streamSeek(void* source, ogg_int64_t offset, int whence) {
    auto* decoder = static_cast<hssStreamDecoder*>(source);
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_END ? decoder->file->size()
                                                              : decoder->position;
    int64_t target = base + offset;
    if (target < 0) return -1;
    decoder->position = target;
    return 0;
}

int streamClose(void*) { return 0; }  // the file belongs to the sound

long streamTell(void* source) { return static_cast<long>(static_cast<hssStreamDecoder*>(source)->position); }

std::string absolutePath(const char* path) {
    if (path[0] == '/' || path[0] == '\\') return path;
    char directory[4096];
    if (!getcwd(directory, sizeof directory)) return path;
    return std::string(directory) + "/" + path;
}

bool endsWithOgg(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".ogg";
}

uint16_t readU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
int16_t readS16(const uint8_t* p) { return static_cast<int16_t>(readU16(p)); }
uint32_t readU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Rates outside this range are not sound files but damage (0 would hold a channel forever).
constexpr uint32_t kMaxSampleRate = 1000000;

// Microsoft ADPCM's published step adaptation table.
const int32_t kAdpcmAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                      768, 614, 512, 409, 307, 230, 230, 230};

// The largest step kept: the next adaptation (at most 768 / 256) still fits an int32.
constexpr int32_t kAdpcmMaxDelta = INT32_MAX / 768;

struct AdpcmState {
    int32_t coefficient1 = 0, coefficient2 = 0, delta = 16, sample1 = 0, sample2 = 0;
};

int16_t adpcmExpand(AdpcmState& state, int32_t nibble) {
    int32_t signedNibble = nibble >= 8 ? nibble - 16 : nibble;
    // Coefficients and the step come from the file: the sums are taken wide enough for any of them.
    int64_t predictor = (int64_t(state.sample1) * state.coefficient1 + int64_t(state.sample2) * state.coefficient2) / 256;
    int64_t sample = predictor + int64_t(signedNibble) * state.delta;
    if (sample > 32767) sample = 32767;
    if (sample < -32768) sample = -32768;
    state.sample2 = state.sample1;
    state.sample1 = static_cast<int32_t>(sample);
    state.delta = kAdpcmAdaptation[nibble] * state.delta / 256;
    if (state.delta < 16) state.delta = 16;
    // A run of large nibbles grows the step without end; past this it only clips anyway.
    if (state.delta > kAdpcmMaxDelta) state.delta = kAdpcmMaxDelta;
    return static_cast<int16_t>(sample);
}

// Decodes Microsoft ADPCM blocks into 16-bit PCM; a short last block gives what it holds.
std::vector<int16_t> decodeAdpcm(const uint8_t* data, size_t size, int32_t channels,
                                 int32_t blockAlign, const int32_t coefficients[7][2]) {
    std::vector<int16_t> out;
    const size_t header = 7u * static_cast<size_t>(channels);
    if (blockAlign <= 0 || static_cast<size_t>(blockAlign) < header) return out;
    out.reserve(size / static_cast<size_t>(channels) * 2 + 4);
    for (size_t offset = 0; offset + header <= size; offset += static_cast<size_t>(blockAlign)) {
        size_t blockSize = size - offset < static_cast<size_t>(blockAlign) ? size - offset
                                                                            : static_cast<size_t>(blockAlign);
        const uint8_t* p = data + offset;
        AdpcmState state[2];
        for (int32_t c = 0; c < channels; ++c) {
            int32_t predictor = p[c] < 7 ? p[c] : 6;
            state[c].coefficient1 = coefficients[predictor][0];
            state[c].coefficient2 = coefficients[predictor][1];
            state[c].delta = readS16(p + channels + 2 * c);
            state[c].sample1 = readS16(p + 3 * channels + 2 * c);
            state[c].sample2 = readS16(p + 5 * channels + 2 * c);
        }
        for (int32_t c = 0; c < channels; ++c) out.push_back(static_cast<int16_t>(state[c].sample2));
        for (int32_t c = 0; c < channels; ++c) out.push_back(static_cast<int16_t>(state[c].sample1));
        // Nibbles alternate between the channels (mono: every nibble is the one channel), high first.
        int32_t channel = 0;
        for (size_t i = header; i < blockSize; ++i) {
            out.push_back(adpcmExpand(state[channel], p[i] >> 4));
            channel = (channel + 1) % channels;
            out.push_back(adpcmExpand(state[channel], p[i] & 0x0F));
            channel = (channel + 1) % channels;
        }
    }
    return out;
}

}  // namespace

int32_t hssOpenStream(hssStreamDecoder& decoder, hssFile* file) {
    static const ov_callbacks callbacks = {streamRead, streamSeek, streamClose, streamTell};
    decoder.file = file;
    decoder.position = 0;
    decoder.open = false;
    if (ov_open_callbacks(&decoder, &decoder.vorbis, nullptr, 0, callbacks) != 0) return hssErrFormat;
    decoder.open = true;
    return hssOk;
}

void hssCloseStream(hssStreamDecoder& decoder) {
    if (decoder.open) ov_clear(&decoder.vorbis);
    decoder.open = false;
}

hssSound::~hssSound() { free(); }

void hssSound::free() {
    std::free(data);
    data = nullptr;
    file.close();
    eightBit = false;
    stereo = false;
    sampleRate = 0;
    length = 0;
    baseRate = 0;
    speed = 128;
    kind = hssSoundNone;
}

int32_t hssSound::load(const char* path, uint32_t flags) {
    free();
    if (!path || !*path) return hssErrCannotOpen;
    std::string fullPath = absolutePath(path);
    int32_t result = loadOgg(fullPath, flags);
    if (result == hssOk || endsWithOgg(fullPath)) return result;
    hssFile source;
    if (!source.open(fullPath.c_str())) return hssErrCannotOpen;
    return loadWavFile(source);
}

int32_t hssSound::loadWav(const void* bytes, size_t size) {
    free();
    if (!bytes) return hssErrCannotOpen;
    return parseWav(static_cast<const uint8_t*>(bytes), size);
}

int32_t hssSound::loadOgg(const std::string& path, uint32_t flags) {
    if (!file.open(path.c_str())) return hssErrCannotOpen;
    hssStreamDecoder probe;
    if (hssOpenStream(probe, &file) != hssOk) {
        file.close();
        return hssErrFormat;
    }
    vorbis_info* info = ov_info(&probe.vorbis, -1);
    ogg_int64_t total = ov_pcm_total(&probe.vorbis, -1);
    bool usable = info && (info->channels == 1 || info->channels == 2) && info->rate > 0 &&
                  static_cast<uint32_t>(info->rate) <= kMaxSampleRate;
    if (usable) {
        stereo = info->channels == 2;
        sampleRate = static_cast<int32_t>(info->rate);
        baseRate = sampleRate;
        speed = 128;
        length = total > 0 ? total : 0;
    }
    hssCloseStream(probe);
    if (!usable) {
        file.close();
        return hssErrFormat;
    }
    kind = hssSoundStream;
    if (flags & hssLoadDecodeOgg) return decodeOggToMemory();
    return hssOk;
}

int32_t hssSound::decodeOggToMemory() {
    hssStreamDecoder decoder;
    if (hssOpenStream(decoder, &file) != hssOk) {
        free();
        return hssErrFormat;
    }
    const int32_t frameBytes = stereo ? 4 : 2;
    std::vector<char> pcm;
    char block[4096];
    int bitstream = 0;
    for (;;) {
        long got = ov_read(&decoder.vorbis, block, sizeof block, &bitstream);
        if (got == OV_HOLE) continue;
        if (got <= 0) break;
        pcm.insert(pcm.end(), block, block + got);
    }
    hssCloseStream(decoder);
    file.close();
    data = std::malloc(pcm.size() ? pcm.size() : 1);
    if (!data) {
        free();
        return hssErrNoMemory;
    }
    // A stream that decodes to nothing has no bytes to copy (and no buffer to copy them from).
    if (!pcm.empty()) std::memcpy(data, pcm.data(), pcm.size());
    length = static_cast<int64_t>(pcm.size()) / frameBytes;
    kind = hssSoundMemory;
    return hssOk;
}

namespace {

// What a WAV file's chunks say before its samples are read.
struct WavLayout {
    uint16_t channels = 0;
    uint16_t blockAlign = 0;
    uint16_t bits = 0;
    uint32_t rate = 0;
    int32_t coefficients[7][2] = {};  // Microsoft ADPCM only
    size_t dataOffset = 0;
    uint32_t dataSize = 0;            // what the file holds of the "data" chunk
};

// Reads the "fmt " chunk (which must come first) and finds the "data" chunk, every read bounded
// by `size`. hssOk, hssErrBadWav for a broken file, hssErrFormat for a layout the mixer cannot play.
int32_t readWavLayout(const uint8_t* bytes, size_t size, WavLayout& layout) {
    // The RIFF header is not checked.
    if (size < 20 || std::memcmp(bytes + 12, "fmt ", 4) != 0) return hssErrBadWav;
    const uint32_t formatSize = readU32(bytes + 16);
    if (formatSize < 16) return hssErrBadWav;
    uint8_t format[80] = {};
    const size_t formatRead = std::min<size_t>({formatSize, sizeof format, size - 20});
    if (formatRead < 16) return hssErrBadWav;
    std::memcpy(format, bytes + 20, formatRead);

    const uint16_t formatTag = readU16(format);
    layout.channels = readU16(format + 2);
    layout.rate = readU32(format + 4);
    layout.blockAlign = readU16(format + 12);
    layout.bits = readU16(format + 14);
    if ((layout.bits != 4 && layout.bits != 8 && layout.bits != 16) || (layout.channels != 1 && layout.channels != 2))
        return hssErrFormat;
    if (layout.rate == 0 || layout.rate > kMaxSampleRate) return hssErrFormat;
    if (layout.bits == 4) {
        // Format tag 2 (Microsoft ADPCM) with its seven coefficient pairs after the extension size.
        if (formatTag != 2 || formatRead < 50 || readU16(format + 20) != 7) return hssErrFormat;
        for (int i = 0; i < 7; ++i) {
            layout.coefficients[i][0] = readS16(format + 22 + 4 * i);
            layout.coefficients[i][1] = readS16(format + 24 + 4 * i);
        }
    }

    // RIFF pads odd chunks to an even size.
    uint64_t chunk = 20 + uint64_t(formatSize) + (formatSize & 1);
    for (;;) {
        if (chunk + 8 > size) return hssErrBadWav;
        const uint32_t chunkSize = readU32(bytes + chunk + 4);
        if (std::memcmp(bytes + chunk, "data", 4) == 0) break;
        chunk += 8 + uint64_t(chunkSize) + (chunkSize & 1);
    }
    layout.dataOffset = static_cast<size_t>(chunk + 8);
    // A truncated file gives what it holds.
    layout.dataSize = static_cast<uint32_t>(std::min<uint64_t>(readU32(bytes + chunk + 4), size - layout.dataOffset));
    return layout.dataSize == 0 ? hssErrBadWav : hssOk;
}

// The samples as the mixer plays them, in a block of malloc (16-bit, or unsigned 8-bit, PCM);
// `frames` is set to the count of samples. Null when memory ran out.
void* copySamples(const uint8_t* samples, const WavLayout& layout, int64_t& count) {
    if (layout.bits != 4) {
        void* block = std::malloc(layout.dataSize);
        if (block) std::memcpy(block, samples, layout.dataSize);
        count = layout.bits == 16 ? layout.dataSize / 2 : layout.dataSize;
        return block;
    }
    std::vector<int16_t> pcm =
        decodeAdpcm(samples, layout.dataSize, layout.channels, layout.blockAlign, layout.coefficients);
    void* block = std::malloc(pcm.size() * 2 + 2);
    if (block && !pcm.empty()) std::memcpy(block, pcm.data(), pcm.size() * 2);
    count = static_cast<int64_t>(pcm.size());
    return block;
}

}  // namespace

int32_t hssSound::loadWavFile(hssFile& source) {
    const int64_t size = source.size();
    if (size <= 0) return hssErrBadWav;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    bytes.resize(source.read(bytes.data(), bytes.size()));
    return parseWav(bytes.data(), bytes.size());
}

int32_t hssSound::parseWav(const uint8_t* bytes, size_t size) {
    WavLayout layout;
    const int32_t result = readWavLayout(bytes, size, layout);
    if (result != hssOk) return result;
    int64_t count = 0;
    data = copySamples(bytes + layout.dataOffset, layout, count);
    if (!data) return hssErrNoMemory;
    eightBit = layout.bits == 8;
    stereo = layout.channels == 2;
    length = stereo ? count / 2 : count;
    if (length == 0) {
        free();
        return hssErrBadWav;
    }
    sampleRate = static_cast<int32_t>(layout.rate);
    baseRate = sampleRate;
    speed = 128;
    kind = hssSoundMemory;
    return hssOk;
}

}  // namespace QEL
