// What a picture file is, in words its author recognises, so that a refused picture can say what
// was found and what the game takes instead.
#pragma once

#include <string>

namespace QEL {

// The pictures the game can show.
extern const char* const kPicturesAccepted;

// "a damaged PNG (what its decoder found)", "a JPEG picture", "a TGA with 8-bit colour-mapped colour", "an
// empty file"; for a file it cannot tell, "a file of no picture format the game knows".
std::string pictureFormatOf(const std::string& path);

// Why the picture at `path` is refused: what it is and what the game takes instead.
std::string pictureRefusal(const std::string& path);

}  // namespace QEL
