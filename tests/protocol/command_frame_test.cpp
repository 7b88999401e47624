#include "protocol/command_frame.h"

#include <gtest/gtest.h>

#include <vector>

#include "protocol/scrambler.h"

namespace quenfall {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Profile 0 and bank 0, with a scramble mode that selects no key: the frames as laid out.
constexpr ProfileSelection PlainProfile0{.ProfileIndex = 0, .ScrambleMode = 2};

Bytes Head(const FrameBuffer& frame, std::size_t n) { return Bytes(frame.begin(), frame.begin() + n); }

TEST(Requests, ExitFrameIsEightBytes) {
    FrameBuffer frame;
    frame.fill(0xEE);
    ASSERT_EQ(ExitRequest(frame, PlainProfile0), 8);
    EXPECT_EQ(Head(frame, 8), (Bytes{0xA1, 0x00, 0x44, 0x00, 0x00, 0x00, 0x00, 0xA4}));
    for (std::size_t i = 8; i < frame.size(); ++i) ASSERT_EQ(frame[i], 0) << i;
}

TEST(Requests, EnterFrameAnnouncesTheSections) {
    FrameBuffer frame;
    const std::uint8_t ids[12] = {0, 1};
    ASSERT_EQ(EnterRequest(frame, PlainProfile0, 2, ids), 12);
    EXPECT_EQ(Head(frame, 12),
              (Bytes{0xA1, 0x00, 0x43, 0x00, 0x04, 0x02, 0x00, 0x01, 0xFF, 0x01, 0x02, 0xA4}));
}

TEST(Requests, FrameBuiltFromAPayloadInsideItself) {
    // The enter frame above, built from a payload that already sits in the frame: in place
    // (where the requests build it) and overlapping the header, two bytes early.
    const Bytes expected{0xA1, 0x00, 0x43, 0x00, 0x04, 0x02, 0x00, 0x01, 0xFF, 0x01, 0x02, 0xA4};
    for (std::size_t at : {std::size_t{5}, std::size_t{3}, std::size_t{9}}) {
        SCOPED_TRACE(at);
        FrameBuffer frame{};
        const std::uint8_t payload[4] = {0x02, 0x00, 0x01, 0xFF};
        std::copy(std::begin(payload), std::end(payload), frame.begin() + at);
        ASSERT_EQ(BuildFrame(frame, 0x0043, std::span<const std::uint8_t>(frame.data() + at, 4)), 12);
        EXPECT_EQ(Head(frame, 12), expected);
    }
}

TEST(Requests, EnterFrameWithNoSectionsOrTwelve) {
    FrameBuffer frame;
    const std::uint8_t ids[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    ASSERT_EQ(EnterRequest(frame, PlainProfile0, 0, ids), 10);
    EXPECT_EQ(Head(frame, 10), (Bytes{0xA1, 0x00, 0x43, 0x00, 0x02, 0x00, 0xFF, 0x00, 0xFF, 0xA4}));
    ASSERT_EQ(EnterRequest(frame, PlainProfile0, 12, ids), 22);
    EXPECT_EQ(frame[4], 14);
    EXPECT_EQ(frame[5], 12);
    EXPECT_EQ(frame[17], 11);
    EXPECT_EQ(frame[18], 0xFF);
    EXPECT_EQ(frame[21], 0xA4);
}

TEST(Requests, EnterCodeFollowsVariantAndBank) {
    FrameBuffer frame;
    const std::uint8_t ids[12] = {};
    ProfileSelection variantB = PlainProfile0;
    variantB.RequestVariant = 1;
    variantB.CodeBank = 1;
    EnterRequest(frame, variantB, 0, ids);
    EXPECT_EQ(frame[1], 0x00);
    EXPECT_EQ(frame[2], 0x4B);
    ProfileSelection unknown = PlainProfile0;
    unknown.RequestVariant = 2;
    EXPECT_EQ(EnterRequest(frame, unknown, 0, ids), 0);
}

TEST(Requests, BlockCarriesIdIndexSizeAndItsSliceOfTheSection) {
    Bytes section(0x12345);
    for (std::size_t i = 0; i < section.size(); ++i) section[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    FrameBuffer frame;
    ASSERT_EQ(BlockRequest(frame, PlainProfile0, 1, section, 3, 0x12345), 2065);
    EXPECT_EQ(Head(frame, 14), (Bytes{0xA1, 0x00, 0x42, 0x08, 0x09, 0x01, 0x00, 0x03, 0x00, 0x01, 0x23,
                                      0x45, 0x08, 0x00}));
    EXPECT_EQ(Bytes(frame.begin() + 14, frame.begin() + 14 + 2048),
              Bytes(section.begin() + 6144, section.begin() + 8192));
    EXPECT_EQ(frame[2064], 0xA4);
}

TEST(Requests, BlockCheckSumWraps) {
    const Bytes section(2048, 0xFF);
    FrameBuffer frame;
    BlockRequest(frame, PlainProfile0, 0, section, 0, 2048);
    EXPECT_EQ(Head(frame, 5), (Bytes{0xA1, 0x00, 0x42, 0x08, 0x09}));
    // 2048 * 0xFF + 0x08 = 522248 = 0x7F808, of which 16 bits remain.
    EXPECT_EQ(frame[2062], 0xF8);
    EXPECT_EQ(frame[2063], 0x10);
}

TEST(Requests, LastPartialBlockIsFilledWithZeros) {
    const Bytes section(5000, 0x33);
    FrameBuffer frame;
    frame.fill(0x77);
    BlockRequest(frame, PlainProfile0, 0, section, 2, 5000);
    const std::size_t data = 14;
    for (std::size_t i = 0; i < 904; ++i) ASSERT_EQ(frame[data + i], 0x33) << i;
    for (std::size_t i = 904; i < 2048; ++i) ASSERT_EQ(frame[data + i], 0x00) << i;
}

TEST(Requests, KeyedFramesDifferByTheKeyAlone) {
    const std::uint8_t ids[12] = {0, 3, 5};
    FrameBuffer plain, keyed;
    EnterRequest(plain, PlainProfile0, 3, ids);
    const std::uint16_t n = EnterRequest(keyed, ProfileSelection{}, 3, ids);  // profile 0, mode 0: T0
    const KeyTable& t0 = KeyTables()[0];
    for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(keyed[i], plain[i] ^ t0[i]) << i;
    for (std::size_t i = n; i < keyed.size(); ++i) ASSERT_EQ(keyed[i], 0) << i;

    // Profile 12 in mode 0 has no key: its frames go out as laid out.
    FrameBuffer unkeyed;
    ExitRequest(unkeyed, ProfileSelection{.ProfileIndex = 12});
    EXPECT_EQ(Head(unkeyed, 8), (Bytes{0xA1, 0x02, 0x44, 0x00, 0x00, 0x00, 0x00, 0xA4}));
}

std::array<std::uint8_t, FrameBufferSize> Buffer(const Bytes& head) {
    std::array<std::uint8_t, FrameBufferSize> b{};
    std::copy(head.begin(), head.end(), b.begin());
    return b;
}

TEST(ValidateResponse, AcceptsTheRadiosAnswer) {
    auto b = Buffer({0xA1, 0x80, 0x43, 0x00, 0x01, 0x04, 0x00, 0x04, 0xA4});
    EXPECT_TRUE(ValidateResponse(b, 0x8043, 9));
    EXPECT_FALSE(ValidateResponse(b, 0x8044, 9));
    for (std::uint8_t status = 1; status <= 4; ++status) {
        const auto answer = BuildResponse(0x8148, status);
        EXPECT_TRUE(ValidateResponse(Buffer(Bytes(answer.begin(), answer.end())), 0x8148, 9));
    }
}

TEST(ValidateResponse, RejectsStatusesOutsideOneToFour) {
    for (int status : {0, 5, 0x80, 0xFF}) {
        auto b = Buffer({0xA1, 0x80, 0x43, 0x00, 0x01, std::uint8_t(status), 0x00, std::uint8_t(status), 0xA4});
        EXPECT_FALSE(ValidateResponse(b, 0x8043, 9)) << status;
    }
}

TEST(ValidateResponse, RejectsEachBrokenField) {
    const Bytes good = {0xA1, 0x80, 0x44, 0x00, 0x01, 0x01, 0x00, 0x01, 0xA4};
    EXPECT_TRUE(ValidateResponse(Buffer(good), 0x8044, 9));
    for (std::size_t i = 0; i < good.size(); ++i) {
        Bytes bad = good;
        bad[i] ^= 0x10;
        EXPECT_FALSE(ValidateResponse(Buffer(bad), 0x8044, 9)) << "byte " << i;
    }
    EXPECT_FALSE(ValidateResponse(Buffer({}), 0x8044, 9));  // nothing read yet
}

TEST(ValidateResponse, LooksForTheEndMarkerAtTheExpectedLength) {
    // Consistent by its own length field (two payload bytes, end marker at 9), yet byte 8,
    // where a 9-byte answer ends, is not A4.
    auto b = Buffer({0xA1, 0x80, 0x43, 0x00, 0x02, 0x01, 0x00, 0x00, 0x01, 0xA4});
    EXPECT_FALSE(ValidateResponse(b, 0x8043, 9));
}

TEST(ValidateResponse, NeverReadsOutsideItsBuffer) {
    // A length field of 0xFFFF would put the check sum 64 KiB past a 4096-byte buffer.
    auto b = Buffer({0xA1, 0x80, 0x43, 0xFF, 0xFF, 0x01, 0x00, 0x01, 0xA4});
    EXPECT_FALSE(ValidateResponse(b, 0x8043, 9));
    // Just inside and just outside: n = 4089 puts the sum's low byte at 4095.
    auto edge = Buffer({0xA1, 0x80, 0x43, 0x0F, 0xF9, 0x01});
    edge[8] = 0xA4;
    unsigned sum = 0;
    for (std::size_t i = 5; i < 5 + 4089; ++i) sum += edge[i];
    edge[4094] = static_cast<std::uint8_t>(sum >> 8);
    edge[4095] = static_cast<std::uint8_t>(sum);
    EXPECT_TRUE(ValidateResponse(edge, 0x8043, 9));
    edge[4] = 0xFA;
    EXPECT_FALSE(ValidateResponse(edge, 0x8043, 9));
    // A short span (as a fuzzer or a careless caller may give) is judged, not overrun.
    const Bytes nine = {0xA1, 0x80, 0x43, 0x00, 0x09, 0x01, 0x00, 0x01, 0xA4};
    EXPECT_FALSE(ValidateResponse(nine, 0x8043, 9));
    EXPECT_FALSE(ValidateResponse(nine, 0x8043, 0));
    EXPECT_FALSE(ValidateResponse(nine, 0x8043, 10));
}

TEST(ParseFrame, ReadsWhatTheRequestsBuild) {
    FrameBuffer frame;
    const std::uint8_t ids[12] = {0, 3, 5};
    const std::uint16_t n = EnterRequest(frame, PlainProfile0, 3, ids);
    const ParsedFrame parsed = ParseFrame(std::span<const std::uint8_t>(frame.data(), n));
    ASSERT_EQ(parsed.Fault, FrameFault::None);
    EXPECT_EQ(parsed.Code, 0x0043);
    EXPECT_EQ(Bytes(parsed.Payload.begin(), parsed.Payload.end()), (Bytes{3, 0, 3, 5, 0xFF}));

    frame[n - 2] ^= 1;
    EXPECT_EQ(ParseFrame(std::span<const std::uint8_t>(frame.data(), n)).Fault, FrameFault::CheckSum);
    EXPECT_EQ(ParseFrame(std::span<const std::uint8_t>(frame.data(), n + 1)).Fault,
              FrameFault::LengthMismatch);
    EXPECT_EQ(ParseFrame(std::span<const std::uint8_t>(frame.data(), 3)).Fault, FrameFault::TooShort);
}

}  // namespace
}  // namespace quenfall
