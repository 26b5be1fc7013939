#include "sound/cSoundManager.h"

#include "base/assetPath.h"
#include "base/log.h"

namespace QEL {

cSoundManager* soundManagerInstance = nullptr;

cSoundManager* getSoundManager() {
    if (!soundManagerInstance) soundManagerInstance = new cSoundManager;
    return soundManagerInstance;
}

namespace {
// Ids stay below the 16-bit range's top so that 0 can mean "no sound".
constexpr uint32_t kMaxSoundId = 65530;
constexpr uint32_t kPlayFlags = hssPlayAnyChannel | hssPlayPaused;
}  // namespace

cSoundManager::~cSoundManager() {
    // The speaker goes first: its mixing thread stops before any sound data is freed.
    delete speaker;
    speaker = nullptr;
    for (auto& entry : files) {
        delete entry.second->sound;
        delete entry.second;
    }
    files.clear();
    groups.clear();
    ownedGroups.clear();
    for (auto& entry : sounds) delete entry.second;
    sounds.clear();
}

namespace {

// A pack's sound is read whole through the pack file system and decoded from memory.
int32_t loadSoundFile(hssSound& sound, const std::string& path) {
    if (!isPackPath(path)) return sound.load(path.c_str(), 0);
    std::string bytes;
    if (!readAssetFile(path, bytes)) return hssErrCannotOpen;
    return sound.loadFileBytes(std::move(bytes), path);
}

}  // namespace

SoundFileRecord* cSoundManager::acquireFile(const std::string& path) {
    auto found = files.find(path);
    if (found != files.end()) {
        ++found->second->referenceCount;
        return found->second;
    }
    hssSound* sound = new hssSound;
    if (loadSoundFile(*sound, path) != hssOk) {
        delete sound;
        return nullptr;
    }
    SoundFileRecord* record = new SoundFileRecord;
    record->sound = sound;
    record->path = path;
    record->referenceCount = 1;
    files[path] = record;
    return record;
}

void cSoundManager::releaseFile(SoundFileRecord* record) {
    if (!record || --record->referenceCount > 0) return;
    files.erase(record->path);
    delete record->sound;
    delete record;
}

cSound* cSoundManager::createSound(const std::string& name, const std::string& path) {
    if (sounds.count(name)) return nullptr;
    SoundFileRecord* record = acquireFile(path);
    if (!record) return nullptr;
    uint32_t id = generateNewSoundID();
    if (id == 0) {
        releaseFile(record);
        return nullptr;
    }
    cSound* sound = new cSound;
    sound->id = id;
    sound->name = name;
    sound->file = record;
    sound->manager = this;
    sounds[name] = sound;
    idsInUse.insert(id);
    return sound;
}

template <class Group>
Group* cSoundManager::registerGroup(std::unique_ptr<Group> group) {
    Group* registered = group.get();
    groups[registered->name] = registered;
    ownedGroups.push_back(std::move(group));
    return registered;
}

cSoundPool* cSoundManager::createSoundPool(int32_t count, const std::string& name, const std::string& path) {
    auto pool = std::make_unique<cSoundPool>();
    for (int32_t i = 0; i < count; ++i) pool->instances.push_back(createSound(name + "_" + std::to_string(i), path));
    pool->name = name;
    pool->instanceCount = count > 0 ? count : 0;
    pool->manager = this;
    return registerGroup(std::move(pool));
}

cSoundVariant* cSoundManager::createSoundVariant(const std::string& name, const std::string& path,
                                                 const std::string&, const std::string& separator) {
    auto variant = std::make_unique<cSoundVariant>();
    variant->instances.push_back(createSound(name + "_0", path));
    // "dodgeOn.ogg" also names "dodgeOn" + separator + "1.ogg" and "...2.ogg".
    std::string base = path.size() >= 4 ? path.substr(0, path.size() - 4) : std::string();
    std::string extension = path.size() >= 4 ? path.substr(path.size() - 4) : path;
    for (int i = 1; i <= 2; ++i) {
        std::string file = base + separator + std::to_string(i) + extension;
        variant->instances.push_back(createSound(name + "_" + std::to_string(i), file));
    }
    variant->name = name;
    variant->instanceCount = 3;
    variant->manager = this;
    return registerGroup(std::move(variant));
}

void cSoundManager::play(cSound* sound, bool loop) {
    if (!sound) return;
    if (hssSoundChannel* playing = sound->channel.load()) playing->stop();
    sound->loop = loop;
    sound->file->sound->setLoop(loop);
    sound->channel = nullptr;
    if (!speaker) return;
    hssSoundChannel* channel = speaker->getSoundChannel(speaker->playSound(sound->file->sound, kPlayFlags));
    if (!channel) return;
    sound->channel = channel;
    channel->setCallback(&cSound::endCallback, sound);
    channel->setPan(static_cast<int32_t>((sound->pan + 1.0f) * 128.0f));
    channel->setVolume(static_cast<int32_t>(sound->volume * 64.0f));
    if (sound->speed < 0.0f) sound->speed = 0.0f;
    channel->setSpeed(static_cast<int32_t>(sound->speed * 128.0f));
    channel->unpause();
}

cSound* cSoundManager::findSoundById(uint32_t id) {
    if (id == 0) return nullptr;
    for (auto& entry : sounds)
        if (entry.second->id == id) return entry.second;
    return nullptr;
}

cSound* cSoundManager::findSound(const std::string& name) {
    auto found = sounds.find(name);
    return found == sounds.end() ? nullptr : found->second;
}

cSoundPool* cSoundManager::findGroup(const std::string& name) {
    auto found = groups.find(name);
    return found == groups.end() ? nullptr : found->second;
}

void cSoundManager::destroyGroup(cSoundPool* group) {
    if (!group) return;
    group->release();
    auto named = groups.find(group->name);
    if (named != groups.end() && named->second == group) groups.erase(named);
    for (auto owned = ownedGroups.begin(); owned != ownedGroups.end(); ++owned) {
        if (owned->get() == group) {
            ownedGroups.erase(owned);
            return;
        }
    }
}

void cSoundManager::destroySound(cSound* sound) {
    if (!sound) return;
    if (hssSoundChannel* playing = sound->channel.load()) playing->stop();
    releaseFile(sound->file);
    auto found = sounds.find(sound->name);
    if (found != sounds.end() && found->second == sound) sounds.erase(found);
    idsInUse.erase(sound->id);
    delete sound;
}

bool cSoundManager::reloadFile(const std::string& path) {
    const auto found = files.find(path);
    if (found == files.end()) return false;
    auto fresh = std::make_unique<hssSound>();
    if (loadSoundFile(*fresh, path) != hssOk) return false;
    SoundFileRecord* record = found->second;
    // The mixer reads the old decoding until the channels playing it are stopped.
    for (auto& entry : sounds) {
        if (entry.second->file != record) continue;
        if (hssSoundChannel* playing = entry.second->channel.load()) playing->stop();
    }
    delete record->sound;
    record->sound = fresh.release();
    return true;
}

uint32_t cSoundManager::generateNewSoundID() {
    if (++idCounter > kMaxSoundId) idCounter = 1;
    // Every id 1 .. 65530 is tried at most once.
    for (uint32_t tried = 1; idsInUse.count(idCounter); ++tried) {
        if (tried >= kMaxSoundId) {
            logError("QEL::cSoundManager::generateNewSoundID", "cSoundManager.cpp Too many sounds: ", idCounter);
            return 0;
        }
        if (++idCounter > kMaxSoundId) idCounter = 1;
    }
    return idCounter;
}

}  // namespace QEL
