// The ID_SHOT bytes another copy reads, hostile bytes for the reader, and the team rule that
// decides whether a received shot hurts the local player.
#include "net/shotMessage.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace QEL {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(ShotMessage, WireBytesAndRoundTrips) {
    std::string text;
    ShotMessage message = encodeShotMessage(15, text);
    EXPECT_EQ(Bytes(message.bytes, message.bytes + message.size), (Bytes{0x84, 0x00, 0x02, 0x31, 0x35}));
    EXPECT_EQ(text, "15");
    message = encodeShotMessage(-7, text);
    EXPECT_EQ(Bytes(message.bytes, message.bytes + message.size), (Bytes{0x84, 0x00, 0x02, 0x2D, 0x37}));
    EXPECT_EQ(text, "-7");

    for (int32_t shot : {0, 10005, 30001, INT32_MAX, INT32_MIN}) {
        std::string sent, received;
        message = encodeShotMessage(shot, sent);
        int32_t decoded = 12345;
        ASSERT_TRUE(decodeShotMessage(message.bytes, message.size, received, decoded)) << shot;
        EXPECT_EQ(decoded, shot);
        EXPECT_EQ(received, sent);
    }

    // Trailing bytes after the text are not part of the number.
    const Bytes longer{0x84, 0x00, 0x01, '4', '2'};
    int32_t shot = -1;
    ASSERT_TRUE(decodeShotMessage(longer.data(), longer.size(), text, shot));
    EXPECT_EQ(shot, 4);
    EXPECT_EQ(text, "4");
}

TEST(ShotMessage, UnreadableMessagesAreShotZeroWithEmptyText) {
    std::vector<Bytes> hostile{
        {0x84, 0xFF, 0xFF, '1'},             // the largest length on one digit
        {0x84, 0x00, 0x00},                  // empty text
        {0x84, 0x00, 0x01, '-'},             // a sign alone
        {0x84, 0x00, 0x03, '1', '\n', '2'},  // a line end would forge a log line
        {0x84, 0x00, 0x02, '1', 'x'},
        {0x84, 0x00, 0x02, '+', '1'},
        {0x84, 0x00, 0x0A, '2', '1', '4', '7', '4', '8', '3', '6', '4', '8'},       // INT32_MAX + 1
        {0x84, 0x00, 0x0B, '1', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0'},  // 11 digits
        {0x10, 0x00, 0x01, '5'},             // another identifier
    };
    // Every truncation of a valid message, each a heap copy of exactly its length so that the
    // sanitizer build catches any read past it.
    std::string text;
    const ShotMessage whole = encodeShotMessage(-2147483647, text);
    for (size_t length = 0; length < whole.size; ++length) hostile.emplace_back(whole.bytes, whole.bytes + length);

    for (const Bytes& message : hostile) {
        text = "left over";
        int32_t shot = 99;
        EXPECT_FALSE(decodeShotMessage(message.data(), message.size(), text, shot)) << message.size();
        EXPECT_EQ(shot, 0);
        EXPECT_EQ(text, "");
    }
}

TEST(TeamTags, OutgoingShotsCarryTheSendersTeam) {
    const int32_t tagged[5] = {5, 5, 10005, 20005, 30005};
    for (int32_t mode = 0; mode <= 4; ++mode) EXPECT_EQ(tagShot(5, mode), tagged[mode]) << "mode " << mode;
    EXPECT_TRUE(shotCanCarryTeam(9999));
    EXPECT_FALSE(shotCanCarryTeam(10000));
}

TEST(TeamTags, ReceivedShotsHurtUnlessFromTheLocalTeam) {
    // received number → untagged number and, for each local mode 0-4, whether it hurts.
    struct {
        int32_t received, shot;
        bool hurts[5];
    } const cases[] = {
        {5, 5, {true, true, true, true, true}},              // no team: hurts everyone
        {10005, 5, {true, true, false, true, true}},         // team mode 2
        {20000, 20000, {true, true, true, true, true}},      // the boundary itself carries no team
        {20005, 5, {true, true, true, false, true}},         // team mode 3
        {30000, 30000, {true, true, true, true, true}},
        {30001, 1, {true, true, true, true, false}},         // team mode 4
        {10000, 10000, {true, true, true, true, true}},
        {-7, -7, {true, true, true, true, true}},
        {INT32_MAX, INT32_MAX - 30000, {true, true, true, true, false}},  // the largest stay in team 4
    };
    for (const auto& c : cases) {
        for (int32_t mode = 0; mode <= 4; ++mode) {
            int32_t shot = -1;
            EXPECT_EQ(shotHitsPlayer(c.received, mode, shot), c.hurts[mode]) << c.received << " in mode " << mode;
            EXPECT_EQ(shot, c.shot) << c.received;
        }
    }
}

}  // namespace
}  // namespace QEL
