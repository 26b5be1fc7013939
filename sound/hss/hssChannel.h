// Mixer channels. hssChannel is the common base (the silent music channels are plain
// hssChannels); hssSoundChannel plays one hssSound with its own position, volume, pan, speed and
// end callback. Channels are owned by the speaker; hssSoundChannel borrows the sound it plays.
//
// Threads: volume, pan, speed and unpause are plain field writes from the main thread that the
// mixer reads at its next chunk; stop(), getPosition() and setPosition() take the driver lock,
// so a sound that ends by itself at the same moment still runs its end callback once.
#pragma once

#include <atomic>
#include <cstdint>

namespace QEL {

// Fraction bits of a channel's position and step. Sixteen keep every source rate's pitch within
// 0.01% (eight made a 48 kHz sound play 0.23% slow at 44.1 kHz, an 8 kHz one 0.95%).
constexpr int kPositionFraction = 16;

class hssChannel;
class hssDriver;
class hssSound;
struct hssStreamDecoder;

constexpr int32_t hssReasonStopped = 0;  // the channel was stopped or its sound finished

// Called with (channel, reason, user value); runs inside the driver lock, on the mixing thread
// when a sound ends by itself. The return value is ignored.
typedef int32_t (*hssChannelCallback)(hssChannel* channel, int32_t reason, void* user);

class hssChannel {
public:
    hssChannel() = default;
    virtual ~hssChannel() = default;
    hssChannel(const hssChannel&) = delete;
    hssChannel& operator=(const hssChannel&) = delete;

    virtual void release() {}
    virtual void setVolume(int32_t value);      // 0 to 64
    virtual void setPan(int32_t value);         // 0 left, 128 centre, 255 right
    virtual int64_t getPosition() { return 0; }  // frames
    virtual void setPosition(int64_t) {}
    virtual int64_t getLength() { return 0; }    // frames

    void start(bool startPaused);
    // Runs the end callback (reason 0) once if the channel was playing or paused.
    void stop();
    void unpause();
    bool isPlaying() const { return !paused && !stopped; }
    bool isFree() const { return stopped && !paused; }
    void setCallback(hssChannelCallback function, void* user);
    // 128 plays at the base rate; the step is recomputed at the next mixed frame.
    void setSpeed(int32_t value);

    int32_t getVolume() const { return volume; }
    int32_t getPan() const { return pan; }
    int32_t getSpeed() const { return speed; }

protected:
    friend class hssSpeaker;
    void stopLocked();  // stop() for callers already holding the driver lock

    hssDriver* driver = nullptr;  // the speaker's, for the lock
    std::atomic<bool> paused{false};
    std::atomic<bool> stopped{true};
    std::atomic<int32_t> volume{64};
    std::atomic<int32_t> pan{128};
    std::atomic<int32_t> speed{128};
    std::atomic<int32_t> rateStep{0};         // source frames per second at the current speed
    std::atomic<bool> stepDirty{true};
    int32_t baseRate = 0;
    hssChannelCallback callback = nullptr;
    void* callbackUser = nullptr;
};

class hssSoundChannel : public hssChannel {
public:
    // Size of one decoded stream block: 16-bit PCM, 4096 stereo or 8192 mono frames. A decoder
    // that runs for several packets at a time keeps its state in the cache (64 streams cost about
    // 1.25x their bare decode instead of 1.6x with 1 KB blocks); larger blocks would make the
    // buffer in which many streams refill at once too long for a 23 ms callback.
    static constexpr int32_t kStreamBlockBytes = 16384;

    ~hssSoundChannel() override;
    void release() override;  // frees the stream decoder (the block buffer is kept)
    void setVolume(int32_t value) override;
    int64_t getPosition() override;
    void setPosition(int64_t frame) override;
    int64_t getLength() override;

    const hssSound* getSound() const { return sound; }
    int32_t getEffectiveVolume() const { return effectiveVolume; }

private:
    friend class hssSpeaker;
    // Prepares the channel for `sound`; false when a stream decoder cannot be opened.
    bool prepare(hssSound* sound, int32_t masterVolume);
    // Called when the position reached the end of the current data. Returns false at the end of the
    // sound. `seekFrame` >= 0 seeks a stream there first.
    bool refill(int64_t seekFrame = -1);
    bool seekLocked(int64_t frame);

    hssSound* sound = nullptr;
    std::atomic<int32_t> effectiveVolume{64};
    int32_t masterVolume = 64;
    bool loop = false;
    bool eightBit = false;
    bool stereo = false;
    const uint8_t* samples = nullptr;  // the sound's data, or the block buffer of a stream
    int64_t position = 0;              // frames within `samples`, kPositionFraction bits of fraction
    int64_t end = 0;                   // the same
    int64_t step = 0;                  // 24.8 source frames per output frame
    int64_t streamBase = 0;            // frames of the stream before the current block
    uint8_t* blockBuffer = nullptr;    // owned, kStreamBlockBytes
    hssStreamDecoder* decoder = nullptr;  // owned while a stream plays
};

}  // namespace QEL
