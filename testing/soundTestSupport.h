// What the sound tests, fuzz harnesses and timing programs share: WAV images they write themselves,
// Ogg files made from them with oggenc, and a speaker that renders to a buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sound/hss/hssSpeaker.h"
#include "testing/scratchDir.h"

namespace QEL {
namespace soundTest {

using QEL::testing::ScratchDir;

// A WAV image with these format fields and `data`, unchecked; `formatExtra` follows the 16 standard
// bytes of the format chunk.
std::vector<uint8_t> wavRaw(uint16_t formatTag, uint16_t channels, uint32_t rate, uint16_t bits,
                            const std::vector<uint8_t>& formatExtra, const std::vector<uint8_t>& data);
// Interleaved 16-bit PCM as a WAV image.
std::vector<uint8_t> wav16(const std::vector<int16_t>& samples, int32_t channels, int32_t rate);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// `frames` frames of a sine of `hz` (`rightHz` on a second channel, when given).
std::vector<int16_t> sine(int32_t frames, int32_t rate, double hz, int32_t amplitude, int32_t channels = 1,
                          double rightHz = 0.0);

// Encodes `wavPath` to `oggPath` with oggenc; false when that fails.
bool encodeOgg(const std::string& wavPath, const std::string& oggPath);

// Opened at 44.1 kHz 16-bit stereo on the offline driver (no device, no thread).
std::unique_ptr<hssSpeaker> offlineSpeaker(int32_t musicChannels = 8, int32_t soundChannels = 64);

// Plays `sound` with this volume, pan and speed; returns the handle.
int32_t start(hssSpeaker& speaker, hssSound& sound, int32_t volume = 64, int32_t pan = 128, int32_t speed = 128);

// Mixes `frames` stereo 16-bit frames (left, right).
std::vector<int16_t> render(hssSpeaker& speaker, int32_t frames);

}  // namespace soundTest
}  // namespace QEL
