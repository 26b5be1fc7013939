// Private to the mixer: an Ogg Vorbis decoder over a file that other decoders share. Each decoder
// keeps its own byte position and seeks the shared file before every read, so several channels
// can stream one file at once (all reads happen under the driver lock or on the main thread
// before the sound is playable).
#pragma once

#include <tremor/ivorbisfile.h>

#include "sound/hss/hssFile.h"

namespace QEL {

struct hssStreamDecoder {
    OggVorbis_File vorbis;
    hssFile* file = nullptr;  // borrowed from the hssSound
    int64_t position = 0;     // this decoder's byte position in `file`
    bool open = false;
};

// Opens `decoder` on `file`: 0, or -100 when the file is not a Vorbis stream.
int32_t hssOpenStream(hssStreamDecoder& decoder, hssFile* file);
void hssCloseStream(hssStreamDecoder& decoder);

}  // namespace QEL
