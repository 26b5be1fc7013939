// The software mixer: a fixed set of channels mixed into one 16- or 8-bit PCM stream that an
// output driver plays. One per process, owned by the sound manager. Handles: music channels are
// 0 .. m-1 (opened, always silent), sound channels m .. m+s-1.
//
// The driver's thread calls mix() for each buffer with the driver lock held; playSound and
// setPosition take the same lock. Mixing is integer only and allocates nothing; volume, pan and
// speed changes take effect from the next chunk of at most 1024 frames (23 ms).
#pragma once

#include <cstdint>

#include "sound/hss/hssChannel.h"
#include "sound/hss/hssDriver.h"
#include "sound/hss/hssResult.h"
#include "sound/hss/hssSound.h"

namespace QEL {

// playSound flags.
constexpr uint32_t hssPlayAnyChannel = 1u << 28;  // take any free sound channel
constexpr uint32_t hssPlayPaused = 1u << 29;      // start the channel paused
constexpr uint32_t hssPlayChannelMask = 0xFFFFu;  // without hssPlayAnyChannel: the sound channel

// Frames per output buffer: 1024 at 44.1 kHz is 23 ms, so a sound started by play is heard
// within 50 ms.
constexpr int32_t hssBufferFrames = 1024;

class hssSpeaker {
public:
    hssSpeaker() = default;
    virtual ~hssSpeaker();  // closes the driver if open
    hssSpeaker(const hssSpeaker&) = delete;
    hssSpeaker& operator=(const hssSpeaker&) = delete;

    // Opens `soundChannels` sound channels and the driver: 0 or a negative code.
    // `driver` is taken over; null means SDL audio (hssSDLDriver). The game opens (44100, 16, 1, 8, 64).
    int32_t open(int32_t rate, int32_t bits, int32_t stereo, int32_t musicChannels,
                 int32_t soundChannels, hssDriver* driver = nullptr);
    bool isOpen() const { return opened; }

    // Returns the channel handle, or -1000 (not open, empty sound, no free channel, instance limit,
    // stream cannot be opened) or -10 (out of memory).
    int32_t playSound(hssSound* sound, uint32_t flags);
    hssChannel* getChannel(int32_t handle);  // null for a negative handle or one past the end
    hssSoundChannel* getSoundChannel(int32_t handle);  // null for music handles too

    // Mixes `bytes` bytes of output into `buffer`. The driver calls it with its lock held; offline
    // callers call it directly.
    void mix(uint8_t* buffer, int32_t bytes);

    int32_t getRate() const { return rate; }
    bool isStereo() const { return stereo; }
    bool is16Bit() const { return sixteenBit; }
    int32_t getMusicChannelCount() const { return musicCount; }
    int32_t getSoundChannelCount() const { return soundCount; }
    int32_t getSoundMasterVolume() const { return soundMasterVolume; }
    int32_t latencyMs() const;  // the output latency of the open driver
    hssDriver* getDriver() { return driver; }

private:
    static void mixCallback(void* self, uint8_t* buffer, int32_t bytes);
    int32_t findFreeChannel(const hssSound* sound, uint32_t flags) const;
    void collectPlaying();
    bool reachData(hssSoundChannel& channel);
    void mixChannel(hssSoundChannel& channel, int32_t* out, int32_t frames);
    void writeOutput(uint8_t* buffer, int32_t firstFrame, int32_t frames) const;
    void close();

    hssDriver* driver = nullptr;  // owned
    bool opened = false;
    int32_t musicCount = 0;
    hssChannel* musicChannels = nullptr;         // owned array, silent
    int32_t soundCount = 0;
    hssSoundChannel* soundChannels = nullptr;    // owned array
    hssSoundChannel** playing = nullptr;         // owned, rebuilt for every buffer
    int32_t playingCount = 0;
    // Mixing works in chunks of this many frames: each playing channel adds a chunk into
    // `accumulator` (one sum per side and frame), then the chunk is scaled and clamped once.
    static constexpr int32_t kMixChunkFrames = 1024;
    int32_t* accumulator = nullptr;              // owned, 2 * kMixChunkFrames
    int32_t musicMasterVolume = 64;
    int32_t soundMasterVolume = 64;
    int32_t rate = 0;
    bool stereo = true;
    bool sixteenBit = true;
};

}  // namespace QEL
