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

// ".ogg" and ".oga" (the name for Ogg audio) both say the file is Ogg Vorbis.
bool endsWithOgg(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".ogg" || tail == ".oga";
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

// IMA ADPCM's published step and index tables.
const int16_t kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
const int8_t kImaIndexSteps[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

struct ImaState {
    int32_t sample = 0, index = 0;
};

int16_t imaExpand(ImaState& state, int32_t nibble) {
    const int32_t step = kImaSteps[state.index];
    int32_t difference = step >> 3;
    if (nibble & 4) difference += step;
    if (nibble & 2) difference += step >> 1;
    if (nibble & 1) difference += step >> 2;
    state.sample += (nibble & 8) ? -difference : difference;
    state.sample = std::max(-32768, std::min(32767, state.sample));
    state.index = std::max(0, std::min(88, state.index + kImaIndexSteps[nibble]));
    return static_cast<int16_t>(state.sample);
}

// Decodes IMA ADPCM blocks: per channel a 4-byte header (first sample, step index), then words of
// four bytes per channel in turn, each holding eight samples, low nibble first.
std::vector<int16_t> decodeIma(const uint8_t* data, size_t size, int32_t channels, int32_t blockAlign) {
    std::vector<int16_t> out;
    const size_t header = 4u * static_cast<size_t>(channels), word = header;
    if (blockAlign <= 0 || static_cast<size_t>(blockAlign) < header) return out;
    out.reserve(size / static_cast<size_t>(channels) * 2 + 4);
    for (size_t offset = 0; offset + header <= size; offset += static_cast<size_t>(blockAlign)) {
        const size_t blockSize = std::min(size - offset, static_cast<size_t>(blockAlign));
        const uint8_t* p = data + offset;
        ImaState state[2];
        for (int32_t c = 0; c < channels; ++c) {
            state[c].sample = readS16(p + 4 * c);
            state[c].index = std::min<int32_t>(p[4 * c + 2], 88);
            out.push_back(static_cast<int16_t>(state[c].sample));
        }
        for (size_t group = header; group + word <= blockSize; group += word) {
            const size_t first = out.size();
            out.resize(first + 8 * static_cast<size_t>(channels));
            for (int32_t c = 0; c < channels; ++c) {
                for (int32_t i = 0; i < 8; ++i) {
                    const uint8_t byte = p[group + 4 * c + i / 2];
                    out[first + static_cast<size_t>(i * channels + c)] = imaExpand(state[c], i % 2 ? byte >> 4 : byte & 0x0F);
                }
            }
        }
    }
    return out;
}

// G.711 expansions to 16-bit linear, as the published reference code gives them.
int16_t muLawSample(uint8_t code) {
    code = static_cast<uint8_t>(~code);
    const int32_t magnitude = ((((code & 0x0F) << 3) + 0x84) << ((code >> 4) & 7));
    return static_cast<int16_t>(code & 0x80 ? 0x84 - magnitude : magnitude - 0x84);
}

int16_t aLawSample(uint8_t code) {
    code ^= 0x55;
    int32_t magnitude = (code & 0x0F) << 4;
    const int32_t segment = (code & 0x70) >> 4;
    magnitude += segment == 0 ? 8 : 0x108;
    if (segment > 1) magnitude <<= segment - 1;
    return static_cast<int16_t>(code & 0x80 ? magnitude : -magnitude);
}

// A 32-bit sample to 16 bits, rounded to the nearest (halves up) and held at the top.
int16_t narrowed(int64_t sample32) {
    return static_cast<int16_t>(std::min<int64_t>((sample32 + 0x8000) >> 16, 32767));
}

int16_t floatSample(double value) {
    const double scaled = value * 2147483648.0;  // full scale of a 32-bit sample
    if (!(scaled > -2147483648.5)) return scaled != scaled ? 0 : -32768;  // NaN is silence
    if (scaled >= 2147483647.5) return 32767;
    return narrowed(static_cast<int64_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5));
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
    std::string().swap(fileBytes);
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

int32_t hssSound::loadFileBytes(std::string bytes, const std::string& name, uint32_t flags) {
    free();
    fileBytes = std::move(bytes);
    const int32_t result = loadOgg(name, flags);
    if (result == hssOk || endsWithOgg(name)) return result;
    const std::string wav = std::move(fileBytes);
    return parseWav(reinterpret_cast<const uint8_t*>(wav.data()), wav.size());
}

bool hssSound::openFile(const std::string& path) {
    if (fileBytes.empty()) return file.open(path.c_str());
    return file.open(path.c_str(), fileBytes.data(), fileBytes.size());
}

int32_t hssSound::loadWav(const void* bytes, size_t size) {
    free();
    if (!bytes) return hssErrCannotOpen;
    return parseWav(static_cast<const uint8_t*>(bytes), size);
}

int32_t hssSound::loadOgg(const std::string& path, uint32_t flags) {
    if (!openFile(path)) return hssErrCannotOpen;
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

// How a WAV file's samples are stored; all but 8-bit PCM are widened or decoded to 16-bit PCM.
enum class wavEncoding { pcm8, pcm16, pcm24, pcm32, float32, float64, muLaw, aLaw, msAdpcm, imaAdpcm };

// What a WAV file's chunks say before its samples are read.
struct WavLayout {
    wavEncoding encoding = wavEncoding::pcm16;
    uint16_t channels = 0;
    uint16_t blockAlign = 0;
    uint32_t rate = 0;
    int32_t coefficients[7][2] = {};  // Microsoft ADPCM only
    size_t dataOffset = 0;
    uint32_t dataSize = 0;            // what the file holds of the "data" chunk
};

// The encoding a format tag and sample size stand for; false for one the mixer cannot play. The
// extensible tag (0xFFFE) names its encoding in the first two bytes of its sub-format. Any other tag
// with 8 or 16 bits is read as PCM, as it always was.
bool encodingOf(const uint8_t* format, size_t formatRead, uint16_t bits, wavEncoding& encoding) {
    uint16_t tag = readU16(format);
    if (tag == 0xFFFE && formatRead >= 26) tag = readU16(format + 24);
    switch (tag) {
    case 2: encoding = wavEncoding::msAdpcm; return bits == 4;
    case 3: encoding = bits == 64 ? wavEncoding::float64 : wavEncoding::float32; return bits == 32 || bits == 64;
    case 6: encoding = wavEncoding::aLaw; return bits == 8;
    case 7: encoding = wavEncoding::muLaw; return bits == 8;
    case 0x11: encoding = wavEncoding::imaAdpcm; return bits == 4;
    default: break;
    }
    if (tag == 1 && (bits == 24 || bits == 32)) {
        encoding = bits == 24 ? wavEncoding::pcm24 : wavEncoding::pcm32;
        return true;
    }
    encoding = bits == 8 ? wavEncoding::pcm8 : wavEncoding::pcm16;
    return bits == 8 || bits == 16;
}

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

    layout.channels = readU16(format + 2);
    layout.rate = readU32(format + 4);
    layout.blockAlign = readU16(format + 12);
    if (!encodingOf(format, formatRead, readU16(format + 14), layout.encoding) ||
        (layout.channels != 1 && layout.channels != 2))
        return hssErrFormat;
    if (layout.rate == 0 || layout.rate > kMaxSampleRate) return hssErrFormat;
    if (layout.encoding == wavEncoding::msAdpcm) {
        // Its seven coefficient pairs follow the extension size.
        if (formatRead < 50 || readU16(format + 20) != 7) return hssErrFormat;
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

// Every sample of a fixed-size encoding through `expand` (its bytes in, one 16-bit sample out).
template <typename Expand>
std::vector<int16_t> widened(const uint8_t* samples, size_t size, size_t width, Expand expand) {
    std::vector<int16_t> out(size / width);
    for (size_t i = 0; i < out.size(); ++i) out[i] = expand(samples + i * width);
    return out;
}

// The samples of every encoding but 8-bit and 16-bit PCM, as 16-bit PCM.
std::vector<int16_t> decodedSamples(const uint8_t* samples, const WavLayout& layout) {
    const size_t size = layout.dataSize;
    switch (layout.encoding) {
    case wavEncoding::pcm24:
        return widened(samples, size, 3, [](const uint8_t* p) {
            return narrowed(static_cast<int32_t>(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24));
        });
    case wavEncoding::pcm32:
        return widened(samples, size, 4, [](const uint8_t* p) { return narrowed(static_cast<int32_t>(readU32(p))); });
    case wavEncoding::float32:
        return widened(samples, size, 4, [](const uint8_t* p) {
            float value;
            const uint32_t bits = readU32(p);
            std::memcpy(&value, &bits, 4);
            return floatSample(value);
        });
    case wavEncoding::float64:
        return widened(samples, size, 8, [](const uint8_t* p) {
            double value;
            const uint64_t bits = readU32(p) | uint64_t(readU32(p + 4)) << 32;
            std::memcpy(&value, &bits, 8);
            return floatSample(value);
        });
    case wavEncoding::muLaw: return widened(samples, size, 1, [](const uint8_t* p) { return muLawSample(*p); });
    case wavEncoding::aLaw: return widened(samples, size, 1, [](const uint8_t* p) { return aLawSample(*p); });
    case wavEncoding::msAdpcm:
        return decodeAdpcm(samples, size, layout.channels, layout.blockAlign, layout.coefficients);
    case wavEncoding::imaAdpcm: return decodeIma(samples, size, layout.channels, layout.blockAlign);
    default: return {};
    }
}

// The samples as the mixer plays them, in a block of malloc (16-bit, or unsigned 8-bit, PCM),
// decoded here once so that mixing only reads them; `count` is set to the count of samples. Null
// when memory ran out.
void* copySamples(const uint8_t* samples, const WavLayout& layout, int64_t& count) {
    if (layout.encoding == wavEncoding::pcm8 || layout.encoding == wavEncoding::pcm16) {
        void* block = std::malloc(layout.dataSize);
        if (block) std::memcpy(block, samples, layout.dataSize);
        count = layout.encoding == wavEncoding::pcm16 ? layout.dataSize / 2 : layout.dataSize;
        return block;
    }
    const std::vector<int16_t> pcm = decodedSamples(samples, layout);
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
    eightBit = layout.encoding == wavEncoding::pcm8;
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
