// The message decoders on their own: the rules a frame must meet before
// either side acts on it. The socket tests show that a refused frame ends
// the connection; these show which frames are refused.
#include <gtest/gtest.h>

#include "messages.h"

namespace {

wire::Frame frameOf(wire::MsgType type, const wire::Writer& w) {
  return wire::Frame{static_cast<std::uint8_t>(type), w.data()};
}

wire::Writer listReply(std::int32_t status, std::uint16_t count, std::size_t entryBytes) {
  wire::Writer w;
  w.i32(status).u16(count).u16(0);
  std::vector<std::uint8_t> entries(entryBytes, 'a');
  w.bytes(entries.data(), entries.size());
  return w;
}

TEST(ListReplyTest, TakesUpToTenEntriesAndRefusesEverythingElse) {
  auto ten = wire::decodeListReply(frameOf(wire::MsgType::ListReply, listReply(0, 10, 480)));
  ASSERT_TRUE(ten);
  EXPECT_EQ(ten->count(), 10u);
  // Eleven would overrun the caller's 516-byte buffer.
  EXPECT_FALSE(wire::decodeListReply(frameOf(wire::MsgType::ListReply, listReply(0, 11, 528))));
  // A refusal carries no entries; a count must match the bytes exactly.
  EXPECT_FALSE(wire::decodeListReply(frameOf(wire::MsgType::ListReply, listReply(-3, 1, 48))));
  EXPECT_FALSE(wire::decodeListReply(frameOf(wire::MsgType::ListReply, listReply(0, 1, 49))));
  EXPECT_FALSE(wire::decodeListReply(frameOf(wire::MsgType::ListReply, listReply(0, 2, 48))));
  EXPECT_FALSE(wire::decodeListReply(frameOf(wire::MsgType::FileInfo, listReply(0, 0, 0))));
}

TEST(ReplyTest, LoginAndStatusRepliesMustHaveTheirExactLength) {
  wire::Writer login;
  login.i32(0).fixedText("47RKT", wire::kHardwareWidth).i32(2010).i32(0).i32(1);
  auto reply = wire::decodeLoginReply(frameOf(wire::MsgType::LoginReply, login));
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->hardware, "47RKT");
  EXPECT_EQ(reply->version, 2010);
  login.u8(0);
  EXPECT_FALSE(wire::decodeLoginReply(frameOf(wire::MsgType::LoginReply, login)));

  wire::Writer status;
  status.i32(-5);
  EXPECT_EQ(wire::decodeStatus(frameOf(wire::MsgType::Error, status), wire::MsgType::Error), -5);
  EXPECT_FALSE(
      wire::decodeStatus(frameOf(wire::MsgType::Error, status), wire::MsgType::PatchReady));
  status.u8(0);
  EXPECT_FALSE(wire::decodeStatus(frameOf(wire::MsgType::Error, status), wire::MsgType::Error));
}

TEST(RequestTest, PathLongerThanTheFieldIsRefused) {
  auto request = [](std::size_t length) {
    wire::Writer w;
    std::string path(length, 'p');
    w.i32(wire::kCodeListDir)
        .u16(static_cast<std::uint16_t>(length))
        .u16(0)
        .bytes(path.data(), length);
    return wire::decodePathRequest(frameOf(wire::MsgType::Request, w));
  };
  ASSERT_TRUE(request(wire::kMaxPathLength));
  EXPECT_EQ(request(wire::kMaxPathLength)->path.size(), wire::kMaxPathLength);
  EXPECT_FALSE(request(wire::kMaxPathLength + 1));
}

TEST(RequestTest, PatchOfferNeedsHexDigest) {
  wire::Writer good;
  good.u64(10).fixedText(std::string(32, 'a'), wire::kMd5HexSize);
  EXPECT_TRUE(wire::decodePatchOffer(frameOf(wire::MsgType::PatchBegin, good)));
  wire::Writer bad;
  bad.u64(10).fixedText(std::string(31, 'a') + "z", wire::kMd5HexSize);
  EXPECT_FALSE(wire::decodePatchOffer(frameOf(wire::MsgType::PatchBegin, bad)));
}

TEST(DatagramTest, HeaderLengthMustMatchTheDatagram) {
  wire::Writer probe;
  probe.u16(10009).u16(0).u32(77);
  auto datagram = wire::encodeFrame(wire::MsgType::Probe, probe.data());
  auto decoded = wire::decodeDiscoveryProbe(datagram.data(), datagram.size());
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->nonce, 77u);
  EXPECT_FALSE(wire::decodeDiscoveryProbe(datagram.data(), datagram.size() - 1));
  datagram.push_back(0);
  EXPECT_FALSE(wire::decodeDiscoveryProbe(datagram.data(), datagram.size()));

  wire::Writer noPort;
  noPort.u16(0).u16(0).u32(77);
  auto zero = wire::encodeFrame(wire::MsgType::Probe, noPort.data());
  EXPECT_FALSE(wire::decodeDiscoveryProbe(zero.data(), zero.size()));

  wire::Writer answer;
  answer.u32(5).fixedText("CAM", wire::kIdentifierWidth).fixedText("47RKT", 16).i32(2010);
  auto bytes = wire::encodeFrame(wire::MsgType::Answer, answer.data());
  auto a = wire::decodeDiscoveryAnswer(bytes.data(), bytes.size());
  ASSERT_TRUE(a);
  EXPECT_EQ(a->identifier.size(), wire::kIdentifierWidth);
  EXPECT_EQ(a->hardware, "47RKT");
  EXPECT_FALSE(wire::decodeDiscoveryAnswer(bytes.data(), wire::kHeaderSize - 1));
}

}  // namespace
