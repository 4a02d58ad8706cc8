// Pictures as the add-in holds them (the stand-in for GDI+ bitmaps, HBITMAP
// and OLE pictures): 8-bit RGBA pixels, decoded and scaled with gdk-pixbuf.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace platform {

struct Image {
  int width = 0;
  int height = 0;
  // Rows top to bottom, each width * 4 bytes: red, green, blue, alpha (not
  // premultiplied).
  std::vector<std::uint8_t> pixels;

  const std::uint8_t* Pixel(int x, int y) const { return &pixels[(static_cast<std::size_t>(y) * width + x) * 4]; }
};

// Pictures bigger than this are refused before any pixel is decoded.
constexpr int kMaxImageSide = 4096;
constexpr std::int64_t kMaxImagePixels = 4ll * 1024 * 1024;
// Encoded data longer than this is refused unread.
constexpr std::size_t kMaxEncodedImageBytes = 16u << 20;

// Decodes a PNG, JPEG or GIF (first frame) picture. Anything else,
// damaged data and pictures over the limits give none.
std::optional<Image> DecodeImage(std::string_view data);

// The picture scaled to exactly width x height with high-quality filtering;
// none when a size is not positive or over the limits, or memory runs out.
std::optional<Image> ScaleImage(const Image& image, int width, int height);

}  // namespace platform
