// One sound file for the mixer: WAV decoded into memory when it is loaded (8-bit and 16-bit PCM as
// they are; 24-bit and 32-bit PCM, 32-bit and 64-bit float, G.711 µ-law and A-law, Microsoft and
// IMA ADPCM to 16-bit PCM, so the mixer only reads samples), or Ogg Vorbis streamed from its open
// file (every play gets a decoder of its own, so several channels can stream one file at once).
// Owned by the sound manager's file record; the mixer's channels borrow its data while they play it.
#pragma once

#include <cstdint>
#include <string>

#include "sound/hss/hssFile.h"

namespace QEL {

enum hssSoundKind : int32_t { hssSoundNone = 0, hssSoundMemory = 1, hssSoundStream = 2 };

// load() flag: decode a whole Ogg Vorbis stream into memory instead of streaming it.
constexpr uint32_t hssLoadDecodeOgg = 1u << 1;

class hssSound {
public:
    hssSound() = default;
    virtual ~hssSound();
    hssSound(const hssSound&) = delete;
    hssSound& operator=(const hssSound&) = delete;

    // Frees what the sound held, then reads `path` (relative paths are made absolute from the
    // working directory). Ogg Vorbis is tried first; a path ending in ".ogg" or ".oga" reports the Ogg result
    // (-200 cannot open, -100 not Vorbis, -10 no memory), any other the WAV result
    // (-200, -300 no "fmt " first or no usable "data", -100 unsupported layout, -10).
    int32_t load(const char* path, uint32_t flags = 0);
    // The same WAV reader over bytes in memory (copied; the block may be freed afterwards).
    int32_t loadWav(const void* data, size_t size);
    // The same as load() for a file already read whole into memory, which the sound keeps while it
    // streams from it; `name` says by its ending whether it is Ogg Vorbis, as a path does.
    int32_t loadFileBytes(std::string bytes, const std::string& name, uint32_t flags = 0);
    void free();

    void setLoop(bool value) { loop = value; }
    bool getLoop() const { return loop; }

    hssSoundKind getKind() const { return kind; }
    const void* getData() const { return data; }
    bool is8Bit() const { return eightBit; }
    bool isStereo() const { return stereo; }
    int32_t getSampleRate() const { return sampleRate; }
    int32_t getBaseRate() const { return baseRate; }
    int64_t getLength() const { return length; }  // frames
    int32_t getVolume() const { return volume; }
    int32_t getPan() const { return pan; }
    int32_t getSpeed() const { return speed; }
    int32_t getInstanceLimit() const { return instanceLimit; }
    void setInstanceLimit(int32_t limit) { instanceLimit = limit; }
    // The open file of a streamed sound (null otherwise); decoders keep their own positions in it.
    hssFile* getStreamFile() { return kind == hssSoundStream ? &file : nullptr; }

private:
    int32_t loadOgg(const std::string& path, uint32_t flags);
    bool openFile(const std::string& path);
    // Reads a whole WAV file into memory and parses it there.
    int32_t loadWavFile(hssFile& source);
    // The WAV reader proper, over `size` bytes: every read is bounded by them.
    int32_t parseWav(const uint8_t* bytes, size_t size);
    int32_t decodeOggToMemory();

    void* data = nullptr;          // owned sample data of the memory kind
    bool eightBit = false;         // unsigned 8-bit samples
    bool stereo = false;           // interleaved left, right
    int32_t sampleRate = 0;        // Hz
    int64_t length = 0;            // frames
    int32_t volume = 64;
    bool loop = false;
    int32_t pan = 128;
    int32_t instanceLimit = -1;    // -1: any number of channels may play it
    int32_t baseRate = 0;
    int32_t speed = 128;           // 128 plays at the file's own rate
    hssSoundKind kind = hssSoundNone;
    hssFile file;                  // open while the sound is streamed
    std::string fileBytes;         // the whole file when it was handed over in memory
};

}  // namespace QEL
