// Result codes of the mixer. Every failure is a negative code; nothing is logged at this level.
#pragma once

#include <cstdint>

namespace QEL {

constexpr int32_t hssOk = 0;
constexpr int32_t hssErrBadArgument = -1;     // driver: missing or unsupported format or callback
constexpr int32_t hssErrAlreadyOpen = -2;     // driver: open twice
constexpr int32_t hssErrNotOpen = -3;         // driver: close without open
constexpr int32_t hssErrNoMemory = -10;
constexpr int32_t hssErrFormat = -100;        // not a Vorbis stream, or a WAV layout the mixer cannot play
constexpr int32_t hssErrCannotOpen = -200;    // the file cannot be opened
constexpr int32_t hssErrBadWav = -300;        // no "fmt " chunk first, no usable "data" chunk, short read
constexpr int32_t hssErrNoChannel = -1000;    // playSound: not open, empty sound, no free channel, ...

}  // namespace QEL
