// Output drivers: something that asks the speaker to mix each buffer and plays the result.
// hssSDLDriver plays through SDL 1.2 audio (its callback thread is the mixing thread and
// SDL_LockAudio is the driver lock); hssOfflineDriver has no device and no thread: whoever owns
// the speaker calls hssSpeaker::mix itself (tests, benchmarks, rendering to a buffer).
#pragma once

#include <cstdint>
#include <mutex>

namespace QEL {

// Format flags of hssAudioFormat::flags.
constexpr int32_t hssFormat8Bit = 1;
constexpr int32_t hssFormat16Bit = 2;
constexpr int32_t hssFormatSigned = 16;
constexpr int32_t hssFormatUnsigned = 32;

struct hssAudioFormat {
    int32_t rate = 44100;
    int32_t flags = hssFormat16Bit | hssFormatSigned;
    int32_t channels = 2;
};

// Fills `bytes` bytes of `buffer`; runs on the driver's thread with the driver lock held.
typedef void (*hssMixCallback)(void* user, uint8_t* buffer, int32_t bytes);

class hssDriver {
public:
    virtual ~hssDriver() = default;
    // Opens paused; returns 0, -1 (bad format or callback), -2 (already open) or another negative code.
    virtual int32_t open(const hssAudioFormat* format, int32_t bufferFrames, hssMixCallback callback,
                         void* user) = 0;
    virtual int32_t close() = 0;  // 0, or -3 when not open; the mixing thread has ended on return
    virtual void lock() = 0;
    virtual void unlock() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Delay from a mixed buffer to the device, in ms (one buffer for SDL; 0 without a device).
    virtual int32_t latencyMs() const = 0;
};

// Checks a format the way every driver does: -1 for no flags, 8-bit signed, 16-bit unsigned,
// or a channel count other than 1 or 2; 0 otherwise.
int32_t hssCheckFormat(const hssAudioFormat* format);

// ALSA writes its own lines to standard error when it finds no card, which would bury the one
// line the game prints about it; this keeps ALSA quiet. Called before SDL's audio starts.
void hssQuietAlsa();

class hssSDLDriver : public hssDriver {
public:
    ~hssSDLDriver() override;
    // Initialises SDL audio itself if the caller has not. SDL 1.2 has one device per process,
    // so a second open driver gets -1. When no device opens, SDL_GetError() says why.
    int32_t open(const hssAudioFormat* format, int32_t bufferFrames, hssMixCallback callback,
                 void* user) override;
    // SDL_CloseAudio also shuts SDL's audio subsystem down, as the last user of it.
    int32_t close() override;
    void lock() override;
    void unlock() override;
    void pause() override;
    void resume() override;
    int32_t latencyMs() const override;
    int32_t bufferFrames() const { return obtainedFrames; }

private:
    static void sdlCallback(void* self, uint8_t* stream, int len);

    bool isOpen = false;
    bool paused = true;
    int32_t obtainedFrames = 0;
    int32_t obtainedRate = 0;
    hssMixCallback mixCallback = nullptr;
    void* mixUser = nullptr;
};

class hssOfflineDriver : public hssDriver {
public:
    int32_t open(const hssAudioFormat* format, int32_t bufferFrames, hssMixCallback callback,
                 void* user) override;
    int32_t close() override;
    void lock() override { mutex.lock(); }
    void unlock() override { mutex.unlock(); }
    void pause() override {}
    void resume() override {}
    int32_t latencyMs() const override { return 0; }

private:
    bool isOpen = false;
    std::recursive_mutex mutex;
};

}  // namespace QEL
