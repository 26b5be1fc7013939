// Random numbers and angle units shared by the effects. A random fraction is rand() / RAND_MAX,
// in [0, 1]; angles in files are degrees.
#pragma once

#include <cmath>
#include <cstdlib>

namespace QEL {
namespace effects {

inline const float kPi = 4.0f * std::atan(1.0f);

inline float randomFraction() { return static_cast<float>(static_cast<double>(std::rand()) / RAND_MAX); }

// Uniform in [low, high].
inline float randomBetween(float low, float high) { return low + randomFraction() * (high - low); }

inline float degreesToRadians(float degrees) { return degrees * kPi / 180.0f; }

}  // namespace effects
}  // namespace QEL
