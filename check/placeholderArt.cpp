#include "check/placeholderArt.h"

#include <lodepng.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace QEL {

namespace {

struct rgba {
    uint8_t r, g, b, a;
};

struct point {
    float x, y;
};

// A picture being drawn: shapes are filled where pixel centres fall inside them and laid over what
// is there by their alpha.
class canvas {
public:
    canvas(int w, int h, rgba fill = {0, 0, 0, 0}) : width(w), height(h), pixels(size_t(w) * h, fill) {}

    void rect(float x0, float y0, float x1, float y1, rgba colour) {
        polygon({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, colour);
    }

    // Even-odd filling, so any simple outline works.
    void polygon(std::initializer_list<point> corners, rgba colour) {
        const std::vector<point> p(corners);
        for (int y = 0; y < height; ++y) {
            const float cy = y + 0.5f;
            std::vector<float> crossings;
            for (size_t i = 0; i < p.size(); ++i) {
                const point a = p[i], b = p[(i + 1) % p.size()];
                if ((a.y <= cy) != (b.y <= cy)) crossings.push_back(a.x + (cy - a.y) / (b.y - a.y) * (b.x - a.x));
            }
            std::sort(crossings.begin(), crossings.end());
            for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
                for (int x = std::max(0, int(std::ceil(crossings[i] - 0.5f))); x + 0.5f < crossings[i + 1] && x < width; ++x)
                    blend(x, y, colour);
            }
        }
    }

    void ellipse(float cx, float cy, float rx, float ry, rgba colour) {
        for (int y = std::max(0, int(cy - ry)); y < std::min(height, int(cy + ry) + 1); ++y) {
            for (int x = std::max(0, int(cx - rx)); x < std::min(width, int(cx + rx) + 1); ++x) {
                const float dx = (x + 0.5f - cx) / rx, dy = (y + 0.5f - cy) / ry;
                if (dx * dx + dy * dy <= 1.0f) blend(x, y, colour);
            }
        }
    }

    // Top row first; RGB drops the alpha channel. Exactly this colour type: the game reads 8-bit
    // RGB and RGBA, and the encoder would otherwise choose a palette.
    std::vector<uint8_t> png(bool alpha) const {
        std::vector<uint8_t> raw;
        for (const rgba& c : pixels) {
            raw.insert(raw.end(), {c.r, c.g, c.b});
            if (alpha) raw.push_back(c.a);
        }
        lodepng::State state;
        state.encoder.auto_convert = 0;
        state.info_raw.colortype = state.info_png.color.colortype = alpha ? LCT_RGBA : LCT_RGB;
        state.info_raw.bitdepth = state.info_png.color.bitdepth = 8;
        std::vector<uint8_t> encoded;
        if (lodepng::encode(encoded, raw.data(), unsigned(width), unsigned(height), state) != 0) encoded.clear();
        return encoded;
    }

private:
    void blend(int x, int y, rgba c) {
        rgba& d = pixels[size_t(y) * width + x];
        const float a = c.a / 255.0f, keep = (1 - a) * d.a / 255.0f, out = a + keep;
        auto mix = [&](uint8_t top, uint8_t under) { return uint8_t(std::lround((top * a + under * keep) / out)); };
        if (out <= 0) return;
        d = {mix(c.r, d.r), mix(c.g, d.g), mix(c.b, d.b), uint8_t(std::lround(out * 255))};
    }

    int width, height;
    std::vector<rgba> pixels;  // row 0 at the top
};

const rgba kSteel{72, 78, 88, 255}, kSteelLight{120, 126, 136, 255}, kFrame{56, 58, 64, 255}, kDark{26, 27, 31, 255};
const rgba kGrip{58, 46, 38, 255}, kGripDot{40, 32, 27, 255}, kBrass{204, 162, 74, 255}, kBrassDark{150, 112, 46, 255};

void drawFlash(canvas& c) {
    const float x = gunGeometry::muzzleX, y = gunGeometry::muzzleY;
    c.polygon({{x, y - 4}, {x + 70, y - 30}, {x + 40, y}, {x + 70, y + 30}, {x, y + 4}}, {255, 190, 70, 170});
    c.ellipse(x + 36, y, 40, 18, {255, 160, 40, 200});
    c.ellipse(x + 26, y, 24, 10, {255, 240, 170, 240});
}

void drawGun(canvas& c, gunPose pose) {
    const float s = -gunGeometry::slideBack(pose);
    if (pose == gunPose::magazineOut) {  // drawn low, on its way out of the grip
        c.polygon({{184, 300}, {252, 300}, {247, 358}, {179, 358}}, kFrame);
        c.rect(173, 354, 255, 366, kDark);
    }
    c.polygon({{188, 190}, {284, 190}, {264, 334}, {170, 334}}, kGrip);
    for (float y = 206; y < 320; y += 12)
        for (float x = 196 - (y - 190) * 0.13f; x < 262 - (y - 190) * 0.13f; x += 12) c.rect(x, y, x + 5, y + 5, kGripDot);
    if (pose != gunPose::magazineOut) c.rect(166, 330, 266, 342, kDark);
    c.polygon({{176, 162}, {472, 162}, {472, 190}, {332, 190}, {302, 200}, {176, 200}}, kFrame);
    c.rect(288, 226, 352, 234, kFrame);
    c.rect(344, 190, 352, 234, kFrame);
    c.rect(304, 196, 312, 222, kDark);
    c.rect(440, 124, gunGeometry::muzzleX, 152, {48, 50, 56, 255});  // the barrel, bare where the slide is back
    c.rect(gunGeometry::muzzleX - 4, 134, gunGeometry::muzzleX, 142, {10, 10, 12, 255});
    c.rect(170 + s, 110, 482 + s, 166, kSteel);
    c.rect(170 + s, 110, 482 + s, 118, kSteelLight);
    for (int i = 0; i < 6; ++i) c.rect(184 + s + i * 8, 126, 188 + s + i * 8, 160, kDark);
    c.rect(gunGeometry::portX - 26 + s, 120, gunGeometry::portX + 26 + s, 140, kDark);
    c.rect(462 + s, 100, 472 + s, 110, kDark);
    c.rect(176 + s, 98, 196 + s, 110, kDark);
    if (pose == gunPose::fire) drawFlash(c);
}

// A small noise source of its own, so every run makes the same sounds.
struct noise {
    uint32_t state;
    float next() {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / float(1u << 23) - 1.0f;
    }
};

constexpr int kRate = 44100;

struct soundBuilder {
    std::vector<float> samples;
    noise source;

    soundBuilder(float seconds, uint32_t seed) : samples(size_t(seconds * kRate)), source{seed} {}

    // Noise from `start` (seconds) fading by e every `decay` seconds; `smooth` (0 to 1) is the
    // one-pole low-pass step, 1 for bright noise.
    void hiss(float start, float decay, float gain, float smooth = 1.0f) {
        float level = 0;
        for (size_t i = size_t(start * kRate); i < samples.size(); ++i) {
            level += smooth * (source.next() - level);
            samples[i] += gain * level * std::exp(-(i / float(kRate) - start) / decay);
        }
    }

    // A sine gliding from `fromHz` to `toHz` over its decay.
    void ring(float start, float fromHz, float toHz, float decay, float gain) {
        double phase = 0;
        for (size_t i = size_t(start * kRate); i < samples.size(); ++i) {
            const float t = i / float(kRate) - start, envelope = std::exp(-t / decay);
            phase += 2 * M_PI * (toHz + (fromHz - toHz) * envelope) / kRate;
            samples[i] += gain * envelope * float(std::sin(phase));
        }
    }

    std::vector<uint8_t> wav() const {
        const uint32_t dataBytes = uint32_t(samples.size() * 2);
        std::vector<uint8_t> out;
        auto text = [&](const char* four) { out.insert(out.end(), four, four + 4); };
        auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i))); };
        auto u16 = [&](uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); };
        text("RIFF"), u32(36 + dataBytes), text("WAVE");
        text("fmt "), u32(16), u16(1), u16(1), u32(kRate), u32(kRate * 2), u16(2), u16(16);
        text("data"), u32(dataBytes);
        for (float s : samples) u16(uint16_t(int16_t(std::lround(std::clamp(s, -1.0f, 1.0f) * 30000))));
        return out;
    }
};

}  // namespace

float gunGeometry::slideBack(gunPose pose) { return pose == gunPose::ready ? 0 : pose == gunPose::fire ? 20 : 36; }

std::vector<uint8_t> gunPicture(gunPose pose) {
    canvas c(600, 400);
    drawGun(c, pose);
    return c.png(true);
}

std::vector<uint8_t> backgroundPicture() {
    canvas c(568, 320);
    for (int y = 0; y < 320; ++y) {  // sky down to the horizon at 190, then ground
        const float t = y < 190 ? y / 190.0f : (y - 190) / 130.0f;
        const rgba row = y < 190 ? rgba{uint8_t(70 + 80 * t), uint8_t(92 + 68 * t), uint8_t(124 + 46 * t), 255}
                                 : rgba{uint8_t(96 - 36 * t), uint8_t(84 - 32 * t), uint8_t(66 - 24 * t), 255};
        c.rect(0, float(y), 568, float(y + 1), row);
    }
    c.rect(104, 170, 112, 214, {70, 56, 40, 255});  // a target on its post
    for (int ring = 0; ring < 5; ++ring) {
        const float r = 40 - ring * 8;
        c.ellipse(108, 130, r, r, ring % 2 ? rgba{200, 40, 36, 255} : rgba{236, 232, 220, 255});
    }
    return c.png(false);
}

std::vector<uint8_t> roundPicture() {
    canvas c(8, 32);
    c.ellipse(4, 13, 3.5f, 12, {184, 112, 70, 255});
    c.rect(0.5f, 12, 7.5f, 32, kBrass);
    c.rect(0.5f, 29, 7.5f, 32, kBrassDark);
    return c.png(true);
}

std::vector<uint8_t> cartridgePicture() {
    canvas c(16, 16);
    c.rect(2, 5, 13, 11, kBrass);
    c.rect(12, 4, 14, 12, kBrassDark);
    c.rect(2, 6, 3, 10, {60, 44, 20, 255});
    return c.png(true);
}

std::vector<uint8_t> smokePicture() {
    canvas c(32, 32);
    for (float r = 15; r >= 1; --r) c.ellipse(16, 16, r, r, {220, 220, 224, 16});  // layers thicken inwards
    return c.png(true);
}

std::vector<uint8_t> soundWav(placeholderSound sound) {
    switch (sound) {
    case placeholderSound::shot: {  // a crack, a falling body of noise, a low thump and a tail
        soundBuilder b(0.5f, 11);
        b.hiss(0, 0.006f, 1.0f);
        b.hiss(0, 0.06f, 0.9f, 0.3f);
        b.ring(0, 120, 45, 0.09f, 0.8f);
        b.hiss(0.02f, 0.16f, 0.25f, 0.08f);
        return b.wav();
    }
    case placeholderSound::click: {  // two metal ticks
        soundBuilder b(0.08f, 23);
        for (float at : {0.0f, 0.016f}) {
            b.hiss(at, 0.002f, 0.6f);
            b.ring(at, 2600 + at * 50000, 2600 + at * 50000, 0.009f, 0.35f);
        }
        return b.wav();
    }
    case placeholderSound::reload: {  // magazine out, a slide of metal on metal, magazine in
        soundBuilder b(0.7f, 37);
        b.hiss(0, 0.01f, 0.7f, 0.6f);
        b.ring(0, 900, 700, 0.03f, 0.4f);
        b.hiss(0.2f, 0.12f, 0.2f, 0.1f);
        b.hiss(0.5f, 0.012f, 0.8f, 0.6f);
        b.ring(0.5f, 1100, 800, 0.035f, 0.45f);
        return b.wav();
    }
    case placeholderSound::shell: {  // a case bouncing three times, each time softer
        soundBuilder b(0.45f, 41);
        for (const auto& [at, gain] : {std::pair{0.0f, 1.0f}, {0.11f, 0.5f}, {0.19f, 0.25f}}) {
            b.hiss(at, 0.003f, 0.3f * gain);
            b.ring(at, 3100, 3100, 0.07f, 0.25f * gain);
            b.ring(at, 4730, 4730, 0.05f, 0.2f * gain);
            b.ring(at, 6900, 6900, 0.035f, 0.15f * gain);
        }
        return b.wav();
    }
    }
    return {};
}

}  // namespace QEL
