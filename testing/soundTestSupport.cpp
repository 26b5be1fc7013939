#include "testing/soundTestSupport.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace QEL {
namespace soundTest {

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void putTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

const int32_t kCoefficients[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
const int32_t kAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};

struct EncoderState {
    int32_t delta = 16, sample1 = 0, sample2 = 0;
};

// Picks the nibble whose reconstruction is closest to `target` (predictor pair 1: 2*s1 - s2).
uint8_t encodeNibble(EncoderState& state, int32_t target, int16_t* reconstructed) {
    int32_t predictor = (state.sample1 * kCoefficients[1][0] + state.sample2 * kCoefficients[1][1]) / 256;
    int32_t best = 0, bestError = INT32_MAX, bestSample = 0;
    for (int32_t n = -8; n <= 7; ++n) {
        int32_t sample = std::max(-32768, std::min(32767, predictor + n * state.delta));
        int32_t error = std::abs(sample - target);
        if (error < bestError) {
            bestError = error;
            best = n;
            bestSample = sample;
        }
    }
    uint8_t nibble = static_cast<uint8_t>(best & 0x0F);
    state.sample2 = state.sample1;
    state.sample1 = bestSample;
    state.delta = std::max(16, kAdaptation[nibble] * state.delta / 256);
    *reconstructed = static_cast<int16_t>(bestSample);
    return nibble;
}

}  // namespace

std::vector<uint8_t> wavRaw(uint16_t formatTag, uint16_t channels, uint32_t rate, uint16_t bits,
                            const std::vector<uint8_t>& formatExtra, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out;
    putTag(out, "RIFF");
    put32(out, static_cast<uint32_t>(4 + 8 + 16 + formatExtra.size() + 8 + data.size()));
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, static_cast<uint32_t>(16 + formatExtra.size()));
    uint16_t blockAlign = static_cast<uint16_t>(channels * std::max<uint16_t>(bits, 8) / 8);
    put16(out, formatTag);
    put16(out, channels);
    put32(out, rate);
    put32(out, rate * blockAlign);
    put16(out, blockAlign);
    put16(out, bits);
    out.insert(out.end(), formatExtra.begin(), formatExtra.end());
    putTag(out, "data");
    put32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::vector<uint8_t> wav16(const std::vector<int16_t>& samples, int32_t channels, int32_t rate) {
    std::vector<uint8_t> data;
    for (int16_t s : samples) put16(data, static_cast<uint16_t>(s));
    return wavRaw(1, static_cast<uint16_t>(channels), static_cast<uint32_t>(rate), 16, {}, data);
}

std::vector<uint8_t> wavAdpcm(const std::vector<int16_t>& samples, int32_t channels, int32_t rate,
                              int32_t blockAlign, std::vector<int16_t>* decoded) {
    const size_t frames = samples.size() / static_cast<size_t>(channels);
    const size_t perBlock = static_cast<size_t>((blockAlign - 7 * channels) * 2 / channels + 2);
    std::vector<uint8_t> data;
    decoded->clear();
    for (size_t first = 0; first < frames; first += perBlock) {
        size_t count = std::min(perBlock, frames - first);
        if (count < 2) break;
        auto at = [&](size_t frame, int32_t c) { return samples[(first + frame) * channels + c]; };
        EncoderState state[2];
        // Block header: predictor index, delta, second sample, first sample; each for every channel.
        for (int32_t c = 0; c < channels; ++c) data.push_back(1);  // predictor pair 1
        for (int32_t c = 0; c < channels; ++c) put16(data, static_cast<uint16_t>(state[c].delta));
        for (size_t frame : {1, 0})
            for (int32_t c = 0; c < channels; ++c) put16(data, static_cast<uint16_t>(at(frame, c)));
        for (int32_t c = 0; c < channels; ++c) state[c] = {state[c].delta, at(1, c), at(0, c)};
        for (size_t frame : {0, 1})
            for (int32_t c = 0; c < channels; ++c) decoded->push_back(at(frame, c));
        std::vector<uint8_t> nibbles;
        for (size_t f = 2; f < count; ++f)
            for (int32_t c = 0; c < channels; ++c) {
                int16_t out;
                nibbles.push_back(encodeNibble(state[c], at(f, c), &out));
                decoded->push_back(out);
            }
        if (nibbles.size() % 2) {  // a short last block of odd nibbles: drop the unpaired one
            nibbles.pop_back();
            decoded->pop_back();
        }
        for (size_t i = 0; i < nibbles.size(); i += 2)
            data.push_back(static_cast<uint8_t>((nibbles[i] << 4) | nibbles[i + 1]));
    }
    std::vector<uint8_t> extra;
    put16(extra, 32);  // extension size
    put16(extra, static_cast<uint32_t>(perBlock));
    put16(extra, 7);
    for (const auto& pair : kCoefficients) {
        put16(extra, static_cast<uint16_t>(pair[0]));
        put16(extra, static_cast<uint16_t>(pair[1]));
    }
    std::vector<uint8_t> wav = wavRaw(2, static_cast<uint16_t>(channels), static_cast<uint32_t>(rate), 4, extra, data);
    // Block align lives at offset 32 of the image (20 bytes of headers + 12 into the format chunk).
    wav[32] = static_cast<uint8_t>(blockAlign & 0xFF);
    wav[33] = static_cast<uint8_t>(blockAlign >> 8);
    return wav;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<int16_t> sine(int32_t frames, int32_t rate, double hz, int32_t amplitude, int32_t channels,
                          double rightHz) {
    std::vector<int16_t> out;
    const double twoPi = 8.0 * std::atan(1.0);
    for (int32_t f = 0; f < frames; ++f)
        for (int32_t c = 0; c < channels; ++c) {
            double frequency = (c == 1 && rightHz > 0.0) ? rightHz : hz;
            out.push_back(static_cast<int16_t>(std::lround(amplitude * std::sin(twoPi * frequency * f / rate))));
        }
    return out;
}

bool encodeOgg(const std::string& wavPath, const std::string& oggPath) {
    std::string command = "oggenc -Q -q 4 -o '" + oggPath + "' '" + wavPath + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

std::unique_ptr<hssSpeaker> offlineSpeaker(int32_t musicChannels, int32_t soundChannels) {
    auto speaker = std::make_unique<hssSpeaker>();
    if (speaker->open(44100, 16, 1, musicChannels, soundChannels, new hssOfflineDriver) != 0) return nullptr;
    return speaker;
}

int32_t start(hssSpeaker& speaker, hssSound& sound, int32_t volume, int32_t pan, int32_t speed) {
    int32_t handle = speaker.playSound(&sound, hssPlayAnyChannel | hssPlayPaused);
    if (hssSoundChannel* channel = speaker.getSoundChannel(handle)) {
        channel->setPan(pan);
        channel->setVolume(volume);
        channel->setSpeed(speed);
        channel->unpause();
    }
    return handle;
}

std::vector<int16_t> render(hssSpeaker& speaker, int32_t frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    speaker.mix(reinterpret_cast<uint8_t*>(out.data()), frames * 4);
    return out;
}

}  // namespace soundTest
}  // namespace QEL
