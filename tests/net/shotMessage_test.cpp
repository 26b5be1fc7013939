// The ID_SHOT bytes other copies read and write.
#include "net/shotMessage.h"

#include <gtest/gtest.h>

#include <vector>

namespace QEL {
namespace {

TEST(ShotMessage, WireBytesAndTheExtremesRoundTrip) {
    using Bytes = std::vector<uint8_t>;
    std::string text;
    ShotMessage message = encodeShotMessage(-7, text);
    EXPECT_EQ(Bytes(message.bytes, message.bytes + message.size), (Bytes{0x84, 0x00, 0x02, '-', '7'}));
    EXPECT_EQ(text, "-7");
    for (int32_t shot : {INT32_MAX, INT32_MIN}) {
        std::string sent, received;
        message = encodeShotMessage(shot, sent);
        int32_t decoded = 0;
        ASSERT_TRUE(decodeShotMessage(message.bytes, message.size, received, decoded));
        EXPECT_EQ(decoded, shot);
        EXPECT_EQ(received, sent);
    }
}

}  // namespace
}  // namespace QEL
