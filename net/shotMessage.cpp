#include "net/shotMessage.h"

#include <cstdio>

namespace QEL {

ShotMessage encodeShotMessage(int32_t shotNumber, std::string& text) {
    char digits[kShotTextMax + 1];
    const int length = std::snprintf(digits, sizeof digits, "%d", shotNumber);
    text.assign(digits, length);
    ShotMessage message{};
    message.bytes[0] = kShotMessageId;
    message.bytes[1] = uint8_t(length >> 8);
    message.bytes[2] = uint8_t(length & 0xFF);
    for (int i = 0; i < length; ++i) message.bytes[3 + i] = uint8_t(digits[i]);
    message.size = 3 + size_t(length);
    return message;
}

namespace {

// Optional "-", then 1 to 10 digits, within int32.
bool parseDecimal(const uint8_t* text, size_t length, int32_t& value) {
    size_t at = 0;
    const bool negative = length > 0 && text[0] == '-';
    if (negative) ++at;
    if (at == length || length - at > 10) return false;
    int64_t magnitude = 0;
    for (; at < length; ++at) {
        if (text[at] < '0' || text[at] > '9') return false;
        magnitude = magnitude * 10 + (text[at] - '0');
    }
    const int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue < INT32_MIN || signedValue > INT32_MAX) return false;
    value = int32_t(signedValue);
    return true;
}

}  // namespace

bool decodeShotMessage(const uint8_t* data, size_t length, std::string& text, int32_t& shotNumber) {
    text.clear();
    shotNumber = 0;
    if (!data || length < 3 || data[0] != kShotMessageId) return false;
    const size_t textLength = (size_t(data[1]) << 8) | data[2];
    if (textLength > length - 3) return false;
    int32_t value = 0;
    if (!parseDecimal(data + 3, textLength, value)) return false;
    text.assign(reinterpret_cast<const char*>(data + 3), textLength);
    shotNumber = value;
    return true;
}

int32_t teamOffset(TeamMode multiplayerMode) {
    switch (multiplayerMode) {
    case TeamMode::team1: return kTeamSpan;
    case TeamMode::team2: return 2 * kTeamSpan;
    case TeamMode::team3: return 3 * kTeamSpan;
    default: return 0;
    }
}

ReceivedShot untagShot(int32_t received) {
    if (received > kTeamSpan && received < 2 * kTeamSpan) return {2, received - kTeamSpan};
    if (received > 2 * kTeamSpan && received < 3 * kTeamSpan) return {3, received - 2 * kTeamSpan};
    if (received > 3 * kTeamSpan) return {4, received - 3 * kTeamSpan};
    return {-1, received};
}

bool shotHitsPlayer(int32_t received, TeamMode localMode, int32_t& shotNumber) {
    const ReceivedShot shot = untagShot(received);
    shotNumber = shot.shotNumber;
    return shot.team == -1 || shot.team != modeNumber(localMode);
}

}  // namespace QEL
