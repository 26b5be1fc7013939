// The strict reading of an XML text: what a conforming parser (expat) says of it, for the author's
// tools (kablix-check and the notices). The game itself keeps its lenient reader (XMLSerializer.h),
// so a stored file that reads today goes on reading; this only tells the author what other XML
// tools would refuse.
#pragma once

#include <string>

namespace QEL {

struct xmlProblem {
    int line = 1;  // 1-based, as the parser counts them
    int column = 1;
    std::string message;  // empty when the text is well-formed
};

// The first well-formedness error of `text` at the parser's line and column, with a hint where the
// parser's own words mislead; an empty message for a well-formed text.
xmlProblem strictProblem(const std::string& text);

// Where a DOCTYPE with an internal subset ("<!DOCTYPE x [ ... ]>") starts: the lenient reader reads
// nothing after one. False when there is none (or the text is not well-formed before it).
bool internalSubset(const std::string& text, int& line, int& column);

// True when the bytes look like UTF-16 (a byte-order mark, or "<" next to a zero byte at the start),
// which the game cannot read: it reads UTF-8 (and plain ASCII) only.
bool looksUtf16(const std::string& text);

}  // namespace QEL
