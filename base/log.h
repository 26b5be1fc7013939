// The diagnostic log: every line the program reports goes to standard output in one of four shapes.
//   error   "E: (" fn ") " BEL message, then end of line and flush
//   warning "W: (" fn ") " message, then end of line and flush
//   status  three blanks, the text, then end of line and flush
//   plain   exactly what the caller writes (std::cout or printf; both stay in call order)
// `fn` is the qualified reporting function, e.g. "QEL::cAssetMgr::loadAsset".
#pragma once

#include <iostream>
#include <string>

namespace QEL {

namespace logDetail {
inline void writePieces(std::ostream&) {}
template <typename First, typename... Rest>
void writePieces(std::ostream& out, const First& first, const Rest&... rest) {
    out << first;
    writePieces(out, rest...);
}
}  // namespace logDetail

template <typename... Pieces>
void logError(const std::string& fn, const Pieces&... message) {
    std::cout << "E: (" << fn << ") \a";
    logDetail::writePieces(std::cout, message...);
    std::cout << std::endl << std::flush;
}

template <typename... Pieces>
void logWarning(const std::string& fn, const Pieces&... message) {
    std::cout << "W: (" << fn << ") ";
    logDetail::writePieces(std::cout, message...);
    std::cout << std::endl << std::flush;
}

template <typename... Pieces>
void logStatus(const Pieces&... text) {
    std::cout << "   ";
    logDetail::writePieces(std::cout, text...);
    std::cout << std::endl << std::flush;
}

}  // namespace QEL
