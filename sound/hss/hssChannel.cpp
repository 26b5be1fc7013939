#include "sound/hss/hssChannel.h"

#include <new>

#include "sound/hss/hssDriver.h"
#include "sound/hss/hssSound.h"
#include "sound/hss/hssStream.h"

namespace QEL {

namespace {
int32_t clampTo(int32_t value, int32_t high) { return value < 0 ? 0 : value > high ? high : value; }
}  // namespace

void hssChannel::setVolume(int32_t value) { volume = clampTo(value, 64); }

void hssChannel::setPan(int32_t value) { pan = clampTo(value, 255); }

void hssChannel::start(bool startPaused) {
    paused = startPaused;
    stopped = false;
}

void hssChannel::stop() {
    if (driver) driver->lock();
    stopLocked();
    if (driver) driver->unlock();
}

void hssChannel::stopLocked() {
    if (!stopped && callback) callback(this, hssReasonStopped, callbackUser);
    stopped = true;
    paused = false;
}

void hssChannel::unpause() {
    if (!stopped) paused = false;
}

void hssChannel::setCallback(hssChannelCallback function, void* user) {
    callback = function;
    callbackUser = user;
}

void hssChannel::setSpeed(int32_t value) {
    if (value < 0) value = 0;
    speed = value;
    rateStep = static_cast<int32_t>(static_cast<int64_t>(value) * 512 * baseRate / 65536);
    stepDirty = true;
}

hssSoundChannel::~hssSoundChannel() {
    release();
    delete[] blockBuffer;
}

void hssSoundChannel::release() {
    if (decoder) {
        hssCloseStream(*decoder);
        delete decoder;
    }
    decoder = nullptr;
}

void hssSoundChannel::setVolume(int32_t value) {
    hssChannel::setVolume(value);
    effectiveVolume = masterVolume * volume / 64;
}

int64_t hssSoundChannel::getPosition() {
    if (driver) driver->lock();  // the mixing thread moves the position
    int64_t frame = sound && sound->getKind() == hssSoundStream ? streamBase + (position >> kPositionFraction) : position >> kPositionFraction;
    if (driver) driver->unlock();
    return frame;
}

void hssSoundChannel::setPosition(int64_t frame) {
    if (!sound || frame < 0 || frame >= sound->getLength()) return;
    if (driver) driver->lock();
    seekLocked(frame);
    if (driver) driver->unlock();
}

int64_t hssSoundChannel::getLength() { return sound ? sound->getLength() : 0; }

bool hssSoundChannel::prepare(hssSound* playedSound, int32_t master) {
    release();
    sound = playedSound;
    callback = nullptr;
    callbackUser = nullptr;
    if (playedSound->getKind() == hssSoundStream) {
        if (!blockBuffer) blockBuffer = new (std::nothrow) uint8_t[kStreamBlockBytes];
        decoder = blockBuffer ? new (std::nothrow) hssStreamDecoder : nullptr;
        if (!decoder || hssOpenStream(*decoder, playedSound->getStreamFile()) != 0) {
            delete decoder;
            decoder = nullptr;
            delete[] blockBuffer;
            blockBuffer = nullptr;
            sound = nullptr;
            return false;
        }
        samples = blockBuffer;
    } else {
        samples = static_cast<const uint8_t*>(playedSound->getData());
        end = playedSound->getLength() << kPositionFraction;
    }
    position = 0;
    streamBase = 0;
    baseRate = playedSound->getBaseRate();
    setSpeed(128);
    loop = playedSound->getLoop();
    pan = playedSound->getPan();
    eightBit = playedSound->is8Bit();
    stereo = playedSound->isStereo();
    masterVolume = master;
    setVolume(playedSound->getVolume());
    if (decoder) {
        // The first read sets up the decoder's working memory: do it here, not on the mixing thread.
        end = 0;
        refill();
    }
    return true;
}

bool hssSoundChannel::seekLocked(int64_t frame) {
    if (sound->getKind() != hssSoundStream) {
        position = frame << kPositionFraction;
        end = sound->getLength() << kPositionFraction;
        return true;
    }
    return refill(frame);
}

bool hssSoundChannel::refill(int64_t seekFrame) {
    if (sound->getKind() != hssSoundStream) {
        int64_t length = sound->getLength() << kPositionFraction;
        if (position >= length) return false;
        end = length;
        return true;
    }
    if (!decoder) return false;
    if (seekFrame >= 0) {
        if (ov_pcm_seek(&decoder->vorbis, seekFrame) != 0) return false;
        streamBase = seekFrame;
        position = 0;
    } else {
        position -= end;
        streamBase += end >> kPositionFraction;
    }
    end = 0;
    const int32_t frameBytes = stereo ? 4 : 2;
    int bitstream = 0;
    long got = 0;
    // The decoder hands out at most a packet per call. A damaged page gives a hole; a few are
    // skipped before the stream counts as ended.
    for (int holes = 0; got < kStreamBlockBytes && holes < 8;) {
        long more = ov_read(&decoder->vorbis, reinterpret_cast<char*>(blockBuffer) + got,
                            kStreamBlockBytes - static_cast<int>(got), &bitstream);
        if (more == OV_HOLE) {
            ++holes;
            continue;
        }
        if (more <= 0) break;
        got += more;
    }
    if (got < frameBytes) return false;
    end = static_cast<int64_t>(got / frameBytes) << kPositionFraction;
    return true;
}

}  // namespace QEL
