// Decoding and scaling pictures, and refusing what is not a picture or is
// too big to be one.
#include <gtest/gtest.h>

#include <chrono>

#include "picture_test_util.h"
#include "platform/image.h"

namespace {

using picture_test::SolidPicture;

std::uint32_t Crc32(const std::string& bytes) {
  std::uint32_t crc = 0xffffffffu;
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string BigEndian(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

// A PNG whose header claims the given size, followed by a little data.
std::string PngClaiming(std::uint32_t width, std::uint32_t height) {
  const std::string ihdr = "IHDR" + BigEndian(width) + BigEndian(height) + std::string("\x08\x06\x00\x00\x00", 5);
  const std::string idat = "IDAT" + std::string(64, '\x01');
  return "\x89PNG\r\n\x1a\n" + BigEndian(13) + ihdr + BigEndian(Crc32(ihdr)) + BigEndian(64) + idat +
         BigEndian(Crc32(idat));
}

TEST(Image, DecodesCommonFormatsAndScalesToExactSize) {
  for (const char* format : {"png", "jpeg"}) {
    auto image = platform::DecodeImage(SolidPicture(30, 20, 0x336699, format));
    ASSERT_TRUE(image) << format;
    EXPECT_EQ(image->width, 30);
    EXPECT_EQ(image->height, 20);
    ASSERT_EQ(image->pixels.size(), 30u * 20 * 4);
    auto scaled = platform::ScaleImage(*image, 16, 16);
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->width, 16);
    EXPECT_EQ(scaled->height, 16);
    const auto* p = scaled->Pixel(8, 8);
    EXPECT_NEAR(p[0], 0x33, 3) << format;
    EXPECT_NEAR(p[1], 0x66, 3) << format;
    EXPECT_NEAR(p[2], 0x99, 3) << format;
    EXPECT_EQ(p[3], 255);
  }
  // A 1 x 1 picture grows to 16 x 16.
  auto dot = platform::DecodeImage(SolidPicture(1, 1, 0xffffff));
  ASSERT_TRUE(dot);
  auto grown = platform::ScaleImage(*dot, 16, 16);
  ASSERT_TRUE(grown);
  EXPECT_EQ(grown->pixels.size(), 16u * 16 * 4);
  EXPECT_FALSE(platform::ScaleImage(*dot, 0, 16));
  EXPECT_FALSE(platform::ScaleImage(*dot, 16, -1));
  EXPECT_FALSE(platform::ScaleImage(platform::Image{4, 4, {}}, 16, 16));
}

TEST(Image, RefusesWhatIsNotAPictureOrTooBigToBeOne) {
  EXPECT_FALSE(platform::DecodeImage(""));
  EXPECT_FALSE(platform::DecodeImage("GIF89a"));
  EXPECT_FALSE(platform::DecodeImage("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"/>"));
  EXPECT_FALSE(platform::DecodeImage(std::string(5000, '\xff')));
  EXPECT_FALSE(platform::DecodeImage(SolidPicture(8, 8, 0x123456, "bmp")));  // not a web picture format
  std::string png = SolidPicture(64, 64, 0x123456);
  EXPECT_FALSE(platform::DecodeImage(png.substr(0, png.size() / 2)));  // cut short
  png[png.size() / 2] ^= 0x55;
  EXPECT_FALSE(platform::DecodeImage(png.substr(0, 40)));

  // Absurd sizes are refused from the header, before any pixel memory.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(platform::DecodeImage(PngClaiming(100000, 100000)));
  EXPECT_FALSE(platform::DecodeImage(PngClaiming(9000, 1)));
  EXPECT_FALSE(platform::DecodeImage(PngClaiming(5000, 5000)));
  EXPECT_FALSE(platform::DecodeImage(PngClaiming(3000, 3000)));
  std::string gif = "GIF89a";
  gif += std::string("\xff\xff\xff\xff\x00\x00\x00", 7);
  gif += std::string(",\x00\x00\x00\x00\xff\xff\xff\xff\x00\x02\x02\x44\x01\x00;", 16);
  EXPECT_FALSE(platform::DecodeImage(gif));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
