#include "sound/hss/hssDriver.h"

#include <SDL.h>
#include <alsa/asoundlib.h>

#include "sound/hss/hssResult.h"

namespace QEL {

int32_t hssCheckFormat(const hssAudioFormat* format) {
    if (!format) return hssErrBadArgument;
    int32_t flags = format->flags;
    if (flags == 0) return hssErrBadArgument;
    if ((flags & hssFormat8Bit) && (flags & hssFormatSigned)) return hssErrBadArgument;
    if ((flags & hssFormat16Bit) && (flags & hssFormatUnsigned)) return hssErrBadArgument;
    if (!(flags & (hssFormat8Bit | hssFormat16Bit))) return hssErrBadArgument;
    if (format->channels != 1 && format->channels != 2) return hssErrBadArgument;
    if (format->rate <= 0) return hssErrBadArgument;
    return hssOk;
}

namespace {

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// SDL finds no device when its audio starts, says so, and keeps no driver; a later open fails
// without a reason, since later calls clear SDL's error. Starting its audio again gives it back.
void keepSDLReason() {
    char driver[32];
    if (*SDL_GetError() || SDL_AudioDriverName(driver, sizeof driver)) return;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    SDL_InitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace

void hssQuietAlsa() { snd_lib_error_set_handler(&ignoreAlsaError); }

hssSDLDriver::~hssSDLDriver() { close(); }

int32_t hssSDLDriver::open(const hssAudioFormat* format, int32_t bufferFrames,
                           hssMixCallback callback, void* user) {
    if (isOpen) return hssErrAlreadyOpen;
    if (!callback || hssCheckFormat(format) != hssOk) return hssErrBadArgument;

    SDL_AudioSpec desired = {};
    desired.freq = format->rate;
    desired.format = (format->flags & hssFormat16Bit) ? AUDIO_S16SYS : AUDIO_U8;
    desired.channels = static_cast<Uint8>(format->channels);
    // SDL wants a power of two; round down so the buffer never grows past what was asked.
    Uint16 frames = 1;
    while (frames * 2 <= bufferFrames && frames < 32768) frames *= 2;
    desired.samples = frames;
    desired.callback = &hssSDLDriver::sdlCallback;
    desired.userdata = this;

    mixCallback = callback;
    mixUser = user;
    // No `obtained` audio format: SDL converts if the device differs, so the mixer always gets our format.
    if (SDL_OpenAudio(&desired, nullptr) < 0) {
        keepSDLReason();
        return hssErrBadArgument;
    }
    obtainedFrames = desired.samples;
    obtainedRate = desired.freq;
    isOpen = true;
    paused = true;  // SDL opens paused; the speaker resumes
    return hssOk;
}

int32_t hssSDLDriver::close() {
    if (!isOpen) return hssErrNotOpen;
    SDL_CloseAudio();  // waits for the callback thread to end
    isOpen = false;
    paused = true;
    return hssOk;
}

void hssSDLDriver::lock() {
    if (isOpen) SDL_LockAudio();
}

void hssSDLDriver::unlock() {
    if (isOpen) SDL_UnlockAudio();
}

void hssSDLDriver::pause() {
    if (!isOpen || paused) return;
    SDL_PauseAudio(1);
    paused = true;
}

void hssSDLDriver::resume() {
    if (!isOpen || !paused) return;
    SDL_PauseAudio(0);
    paused = false;
}

int32_t hssSDLDriver::latencyMs() const {
    if (!isOpen || obtainedRate <= 0) return 0;
    return static_cast<int32_t>((static_cast<int64_t>(obtainedFrames) * 1000 + obtainedRate - 1) /
                                obtainedRate);
}

void hssSDLDriver::sdlCallback(void* self, uint8_t* stream, int len) {
    // SDL holds its audio lock around this call: it is the driver lock.
    auto* driver = static_cast<hssSDLDriver*>(self);
    driver->mixCallback(driver->mixUser, stream, len);
}

int32_t hssOfflineDriver::open(const hssAudioFormat* format, int32_t, hssMixCallback callback,
                               void*) {
    if (isOpen) return hssErrAlreadyOpen;
    if (!callback || hssCheckFormat(format) != hssOk) return hssErrBadArgument;
    isOpen = true;
    return hssOk;
}

int32_t hssOfflineDriver::close() {
    if (!isOpen) return hssErrNotOpen;
    isOpen = false;
    return hssOk;
}

}  // namespace QEL
