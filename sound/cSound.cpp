#include <cstdlib>

#include "base/log.h"
#include "sound/cSoundManager.h"

namespace QEL {

void cSound::setVolume(float value) {
    volume = value < 0.0f ? 0.0f : value;
    if (hssSoundChannel* playing = channel.load()) playing->setVolume(static_cast<int32_t>(volume * 64.0f));
}

void cSound::setPan(float value) {
    pan = value < -1.0f ? -1.0f : value > 1.0f ? 1.0f : value;
    if (hssSoundChannel* playing = channel.load()) playing->setPan(static_cast<int32_t>((pan + 1.0f) * 128.0f));
}

void cSound::play() {
    if (hssSoundChannel* playing = channel.load()) playing->stop();
    (manager ? manager : getSoundManager())->play(this, false);
}

int32_t cSound::endCallback(hssChannel*, int32_t reason, void* user) {
    if (reason == hssReasonStopped) static_cast<cSound*>(user)->channel = nullptr;
    return 0;
}

uint32_t cSoundPool::play2d() {
    if (!instances.empty()) position = (position + 1) % static_cast<int32_t>(instances.size());
    return playEntry("QEL::cSoundPool::play2d");
}

uint32_t cSoundVariant::play2d() {
    if (!instances.empty()) position = std::rand() % static_cast<int32_t>(instances.size());
    return playEntry("QEL::cSoundVariant::play2d");
}

// A missing entry (a file that could not be loaded) is reported and skipped: sound is never
// worth ending the game over.
uint32_t cSoundPool::playEntry(const char* function) {
    cSound* sound = instances.empty() ? nullptr : instances[static_cast<size_t>(position)];
    if (!sound) {
        logError(function, "cSound.cpp Sound not found: ", name);
        return 0;
    }
    sound->speed = speed < 0.0f ? 0.0f : speed;
    if (hssSoundChannel* playing = sound->channel.load()) playing->setSpeed(static_cast<int32_t>(sound->speed * 128.0f));
    sound->setVolume(volume);
    sound->setPan(pan);
    sound->play();
    return sound->id;
}

void cSoundPool::release() {
    for (cSound* sound : instances)
        if (sound && manager) manager->destroySound(sound);
    instances.clear();
    position = 0;
}

}  // namespace QEL
