#include "BusFraming.h"

#include "SimBytes.h"

#include <gtest/gtest.h>

namespace {

const std::string kProbeToAddress1 = bytes({
    0x01,                                     // address
    0x42, 0x4F, 0x4F, 0x54, 0x69, 0x0D, 0x0A, // "BOOTi" CR LF
    0xFC,                                     // CRC low
    0x89,                                     // CRC high
});

} // namespace

TEST(RequestDecoder, DecodesFramesWholeBackToBackOrByteByByte) {
    RequestDecoder whole(true);
    const auto requests = whole.feed(kProbeToAddress1 + request(7, "BOOT:00000001FF"));
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].address, 1);
    EXPECT_EQ(requests[0].text, "BOOTi");
    EXPECT_EQ(requests[1].address, 7);
    EXPECT_EQ(requests[1].text, "BOOT:00000001FF");

    RequestDecoder trickled(true);
    for (std::size_t i = 0; i + 1 < kProbeToAddress1.size(); ++i)
        EXPECT_TRUE(trickled.feed(kProbeToAddress1.substr(i, 1)).empty()) << "after byte " << i;
    EXPECT_EQ(trickled.feed(kProbeToAddress1.substr(kProbeToAddress1.size() - 1)).size(), 1u);
}

TEST(RequestDecoder, RecoversAfterABadCrcNoiseHalfAFrameOrAFloodOfNoise) {
    RequestDecoder decoder(true);
    std::string badCrc = kProbeToAddress1;
    badCrc.back() ^= 0x01;
    EXPECT_TRUE(decoder.feed(badCrc).empty());
    auto requests = decoder.feed(kProbeToAddress1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].text, "BOOTi");
    EXPECT_EQ(decoder.discardedBytes(), badCrc.size());

    requests = decoder.feed(bytes({0x00, 0xFF, 0x0D, 0x0A, 0x55}) + kProbeToAddress1.substr(0, 4) +
                            request(1, "BOOTg"));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].text, "BOOTg");

    std::string flood;
    for (int i = 0; i < 20000; ++i)
        flood.push_back(static_cast<char>(i % 7 == 0 ? '\r' : i % 7 == 1 ? '\n' : i));
    // Noise this dense can hold a few frames whose CRC happens to fit; what matters is that the
    // decoder keeps the start of the next real frame that came with it.
    decoder.feed(flood + kProbeToAddress1.substr(0, 4));
    requests = decoder.feed(kProbeToAddress1.substr(4));
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().text, "BOOTi");
}
