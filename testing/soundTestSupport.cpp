#include "testing/soundTestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>

namespace QEL {
namespace soundTest {

namespace {

void put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void putTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

}  // namespace

std::vector<uint8_t> wavRaw(uint16_t formatTag, uint16_t channels, uint32_t rate, uint16_t bits,
                            const std::vector<uint8_t>& formatExtra, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out;
    putTag(out, "RIFF");
    put(out, static_cast<uint32_t>(4 + 8 + 16 + formatExtra.size() + 8 + data.size()), 4);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put(out, static_cast<uint32_t>(16 + formatExtra.size()), 4);
    const uint32_t blockAlign = channels * std::max<uint32_t>(bits, 8) / 8;
    for (uint32_t field : {uint32_t(formatTag), uint32_t(channels)}) put(out, field, 2);
    for (uint32_t field : {rate, rate * blockAlign}) put(out, field, 4);
    for (uint32_t field : {blockAlign, uint32_t(bits)}) put(out, field, 2);
    out.insert(out.end(), formatExtra.begin(), formatExtra.end());
    putTag(out, "data");
    put(out, static_cast<uint32_t>(data.size()), 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::vector<uint8_t> wav16(const std::vector<int16_t>& samples, int32_t channels, int32_t rate) {
    std::vector<uint8_t> data;
    for (int16_t s : samples) put(data, static_cast<uint16_t>(s), 2);
    return wavRaw(1, static_cast<uint16_t>(channels), static_cast<uint32_t>(rate), 16, {}, data);
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<int16_t> sine(int32_t frames, int32_t rate, double hz, int32_t amplitude, int32_t channels, double rightHz) {
    std::vector<int16_t> out;
    for (int32_t f = 0; f < frames; ++f)
        for (int32_t c = 0; c < channels; ++c)
            out.push_back(int16_t(std::lround(amplitude * std::sin(2 * M_PI * (c && rightHz > 0 ? rightHz : hz) * f / rate))));
    return out;
}

bool encodeOgg(const std::string& wavPath, const std::string& oggPath) {
    return std::system(("oggenc -Q -q 4 -o '" + oggPath + "' '" + wavPath + "' 2>/dev/null").c_str()) == 0;
}

std::unique_ptr<hssSpeaker> offlineSpeaker(int32_t musicChannels, int32_t soundChannels) {
    auto speaker = std::make_unique<hssSpeaker>();
    if (speaker->open(44100, 16, 1, musicChannels, soundChannels, new hssOfflineDriver) != 0) return nullptr;
    return speaker;
}

int32_t start(hssSpeaker& speaker, hssSound& sound, int32_t volume, int32_t pan, int32_t speed) {
    const int32_t handle = speaker.playSound(&sound, hssPlayAnyChannel | hssPlayPaused);
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
