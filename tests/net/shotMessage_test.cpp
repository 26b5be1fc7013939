// The ID_SHOT bytes another copy reads, hostile bytes for the reader, and the team rule that
// decides whether a received shot hurts the local player.
#include "net/shotMessage.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace QEL {
namespace {

std::vector<uint8_t> bytesOf(const ShotMessage& message) {
    return std::vector<uint8_t>(message.bytes, message.bytes + message.size);
}

TEST(ShotMessage, WireBytesOf15AndMinus7) {
    std::string text;
    EXPECT_EQ(bytesOf(encodeShotMessage(15, text)), (std::vector<uint8_t>{0x84, 0x00, 0x02, 0x31, 0x35}));
    EXPECT_EQ(text, "15");
    EXPECT_EQ(bytesOf(encodeShotMessage(-7, text)), (std::vector<uint8_t>{0x84, 0x00, 0x02, 0x2D, 0x37}));
    EXPECT_EQ(text, "-7");
}

TEST(ShotMessage, RoundTripsTeamTaggedAndExtremeNumbers) {
    for (int32_t shot : {0, 1, 10005, 30001, INT32_MAX, INT32_MIN}) {
        std::string sent, received;
        const ShotMessage message = encodeShotMessage(shot, sent);
        int32_t decoded = 12345;
        ASSERT_TRUE(decodeShotMessage(message.bytes, message.size, received, decoded)) << shot;
        EXPECT_EQ(decoded, shot);
        EXPECT_EQ(received, sent);
    }
}

TEST(ShotMessage, ReadsOnlyWhatTheLengthFieldCovers) {
    // Trailing bytes after the text are not part of the number.
    const std::vector<uint8_t> longer{0x84, 0x00, 0x01, '4', '2'};
    std::string text;
    int32_t shot = -1;
    ASSERT_TRUE(decodeShotMessage(longer.data(), longer.size(), text, shot));
    EXPECT_EQ(shot, 4);
    EXPECT_EQ(text, "4");
}

TEST(ShotMessage, UnreadableMessagesAreShotZeroWithEmptyText) {
    const std::vector<std::vector<uint8_t>> hostile{
        {},                                  // nothing at all
        {0x84},                              // no length
        {0x84, 0x00},                        // half a length
        {0x84, 0x00, 0x05, '1', '2'},        // length past the end
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
    for (const std::vector<uint8_t>& message : hostile) {
        std::string text = "left over";
        int32_t shot = 99;
        EXPECT_FALSE(decodeShotMessage(message.data(), message.size(), text, shot)) << message.size();
        EXPECT_EQ(shot, 0);
        EXPECT_EQ(text, "");
    }
}

TEST(ShotMessage, EveryTruncationOfAValidMessageIsRejectedWithoutReadingPastIt) {
    std::string text;
    const ShotMessage whole = encodeShotMessage(-2147483647, text);
    for (size_t length = 0; length < whole.size; ++length) {
        // A heap copy of exactly `length` bytes lets the sanitizer build catch any overread.
        std::vector<uint8_t> cut(whole.bytes, whole.bytes + length);
        int32_t shot = 1;
        EXPECT_FALSE(decodeShotMessage(cut.data(), cut.size(), text, shot)) << length;
    }
}

TEST(TeamTags, OutgoingShotsCarryTheSendersTeam) {
    EXPECT_EQ(tagShot(5, 0), 5);
    EXPECT_EQ(tagShot(5, 1), 5);
    EXPECT_EQ(tagShot(5, 2), 10005);
    EXPECT_EQ(tagShot(5, 3), 20005);
    EXPECT_EQ(tagShot(5, 4), 30005);
    EXPECT_TRUE(shotCanCarryTeam(9999));
    EXPECT_FALSE(shotCanCarryTeam(10000));
}

// received number → untagged number and, for each local mode 0-4, whether it hurts.
struct TeamCase {
    int32_t received;
    int32_t shot;
    bool hurts[5];
};

TEST(TeamTags, ReceivedShotsHurtUnlessFromTheLocalTeam) {
    const TeamCase cases[] = {
        {5, 5, {true, true, true, true, true}},              // no team: hurts everyone
        {10005, 5, {true, true, false, true, true}},         // team mode 2
        {20000, 20000, {true, true, true, true, true}},      // the boundary itself carries no team
        {20005, 5, {true, true, true, false, true}},         // team mode 3
        {30000, 30000, {true, true, true, true, true}},
        {30001, 1, {true, true, true, true, false}},         // team mode 4
        {10000, 10000, {true, true, true, true, true}},
        {-7, -7, {true, true, true, true, true}},
    };
    for (const TeamCase& c : cases) {
        for (int32_t mode = 0; mode <= 4; ++mode) {
            int32_t shot = -1;
            EXPECT_EQ(shotHitsPlayer(c.received, mode, shot), c.hurts[mode]) << c.received << " in mode " << mode;
            EXPECT_EQ(shot, c.shot) << c.received;
        }
    }
}

TEST(TeamTags, LargestNumbersStayInTeamFour) {
    const ReceivedShot shot = untagShot(INT32_MAX);
    EXPECT_EQ(shot.team, 4);
    EXPECT_EQ(shot.shotNumber, INT32_MAX - 30000);
}

}  // namespace
}  // namespace QEL
