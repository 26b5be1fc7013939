// The program clock: unsigned 32-bit milliseconds since its first reading, on a monotonic source.
// Animation timing, effects, the peer start and the frame step all read this one clock.
#pragma once

#include <cstdint>

namespace QEL {

uint32_t appTimeMs();

// Tests replace the millisecond source to drive timing exactly; null restores the monotonic clock.
// The replacement's readings are taken as they are (its first reading is not subtracted).
void setAppTimeSourceForTesting(uint32_t (*source)());

}  // namespace QEL
