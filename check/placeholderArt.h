// The pictures and sounds of a new weapon (kablix-check --new), drawn and synthesised here so that
// a starting weapon needs no other tool: a side view of a handgun in four poses, a background, a
// round, a cartridge and a smoke puff as PNG file images, and four short sounds as WAV file images.
// Everything is made the same way on every run (the noise has a fixed seed).
#pragma once

#include <cstdint>
#include <vector>

namespace QEL {

// The weapon's poses, each a 600 x 400 RGBA picture (the size a frame is drawn at).
enum class gunPose { ready, fire, open, magazineOut };

// The muzzle and the middle of the ejection port at rest, in pixels of a gun picture (y down), and
// how far back the slide is in each pose, so the weapon file can place smoke and cartridges.
struct gunGeometry {
    static constexpr float muzzleX = 494, muzzleY = 138;
    static constexpr float portX = 326, portY = 130;
    static float slideBack(gunPose pose);
};

std::vector<uint8_t> gunPicture(gunPose pose);
std::vector<uint8_t> backgroundPicture();  // 568 x 320 RGB
std::vector<uint8_t> roundPicture();       // 8 x 32 RGBA, point up
std::vector<uint8_t> cartridgePicture();   // 16 x 16 RGBA
std::vector<uint8_t> smokePicture();       // 32 x 32 RGBA, a soft grey disc

// 16-bit mono WAV images at 44.1 kHz.
enum class placeholderSound { shot, click, reload, shell };
std::vector<uint8_t> soundWav(placeholderSound sound);

}  // namespace QEL
