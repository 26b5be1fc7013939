// Named sounds over the mixer. The game asks the one process-wide cSoundManager for sounds by name
// and plays them directly or through groups: a cSoundPool plays copies of one file in turn (a shot
// can overlap itself), a cSoundVariant plays one of three recordings at random. Each sound has an
// id, unique while it exists, so other parts can stop it later (findSoundById + its channel's stop).
//
// Ownership: the manager owns the speaker, every SoundFileRecord (shared loaded files, counted by
// references), every cSound and every group. A group stays alive until destroyGroup or the
// manager's end, even when another is registered under its name: whoever holds it may still play
// it. Pointers handed out are borrowed. Main thread only.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sound/hss/hssSpeaker.h"

namespace QEL {

class cSoundManager;

// One loaded file shared by every cSound made from the same path.
struct SoundFileRecord {
    hssSound* sound = nullptr;  // owned
    std::string path;
    int32_t referenceCount = 0;
};

class cSound {
public:
    // Volume: >= 0, above 1.0 acts as 1.0. Pan: -1 left .. +1 right. Both reach a playing channel at once.
    void setVolume(float value);
    void setPan(float value);
    // Stops the sound if it plays, then starts it again (no loop).
    void play();

    uint32_t id = 0;  // 1 .. 65530
    // The channel it last started on; the end callback clears it from the mixing thread.
    std::atomic<hssSoundChannel*> channel{nullptr};
    SoundFileRecord* file = nullptr;
    std::string name;
    float speed = 1.0f;   // never below 0
    float volume = 1.0f;  // never below 0
    float pan = 0.0f;     // -1 .. 1
    bool loop = false;
    cSoundManager* manager = nullptr;  // the owner, which plays it

    // The mixer's end callback: clears `channel` when the channel stops or finishes.
    static int32_t endCallback(hssChannel* channel, int32_t reason, void* user);
};

// Copies of one sound played in turn. An entry is null when its sound could not be made.
class cSoundPool {
public:
    virtual ~cSoundPool() = default;
    // Starts the next instance and returns its id; 0 (after an error line) when that entry is missing.
    virtual uint32_t play2d();
    // Destroys every instance through the manager; the group itself stays registered.
    void release();

    std::string name;
    int32_t instanceCount = 0;
    std::vector<cSound*> instances;
    int32_t position = 0;
    float speed = 1.0f;
    float volume = 1.0f;
    float pan = 0.0f;
    cSoundManager* manager = nullptr;

protected:
    uint32_t playEntry(const char* function);
};

// Three recordings (name_0 .. name_2) of which play2d picks one at random.
class cSoundVariant : public cSoundPool {
public:
    uint32_t play2d() override;
};

class cSoundManager {
public:
    cSoundManager() = default;
    // Deletes the speaker (stopping the mixing thread), then the files, groups and sounds.
    ~cSoundManager();
    cSoundManager(const cSoundManager&) = delete;
    cSoundManager& operator=(const cSoundManager&) = delete;

    // Null when `name` is in use (nothing is loaded then) or the file cannot be loaded.
    cSound* createSound(const std::string& name, const std::string& path);
    // Sounds name_0 .. name_<count-1> from one file; registered under `name` (the group that had
    // that name is no longer found by it, but lives on for its holders).
    cSoundPool* createSoundPool(int32_t count, const std::string& name, const std::string& path);
    // name_0 from `path`, name_1 and name_2 from path's base + separator + 1 or 2 + its extension.
    cSoundVariant* createSoundVariant(const std::string& name, const std::string& path,
                                      const std::string& unused, const std::string& separator);

    // Starts `sound` on a free channel; with no free channel (or no open speaker) nothing plays.
    void play(cSound* sound, bool loop);
    cSound* findSoundById(uint32_t id);  // null for 0 or an unknown id
    cSound* findSound(const std::string& name);
    cSoundPool* findGroup(const std::string& name);
    // Destroys the group's sounds and the group itself; null does nothing.
    void destroyGroup(cSoundPool* group);
    size_t groupCount() const { return ownedGroups.size(); }
    void destroySound(cSound* sound);
    // Decodes the loaded file at `path` again after it changed on disk: its sounds playing now
    // stop, and every sound made from it plays the new decoding from then on. False (the old
    // decoding stays) when no sound uses `path` or the file no longer decodes.
    bool reloadFile(const std::string& path);
    // 1 .. 65530, wrapping and skipping ids in use; 0 (after an error line) when every id is taken.
    uint32_t generateNewSoundID();

    hssSpeaker* getSpeaker() { return speaker; }
    void setSpeaker(hssSpeaker* value) { speaker = value; }  // taken over
    size_t soundCount() const { return sounds.size(); }
    const std::map<std::string, SoundFileRecord*>& getFiles() const { return files; }

private:
    SoundFileRecord* acquireFile(const std::string& path);
    void releaseFile(SoundFileRecord* record);
    template <class Group> Group* registerGroup(std::unique_ptr<Group> group);

    hssSpeaker* speaker = nullptr;
    std::map<std::string, SoundFileRecord*> files;
    std::map<std::string, cSound*> sounds;
    std::map<std::string, cSoundPool*> groups;  // the group found by each name
    std::vector<std::unique_ptr<cSoundPool>> ownedGroups;
    uint32_t idCounter = 0;
    std::set<uint32_t> idsInUse;  // keeps the id search fast when many sounds exist
};

// The process-wide manager: set by start-up (or by getSoundManager), cleared at shutdown.
extern cSoundManager* soundManagerInstance;
// Returns soundManagerInstance, creating it (without a speaker) when it does not exist yet.
cSoundManager* getSoundManager();

}  // namespace QEL
