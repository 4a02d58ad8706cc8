#include "tools/standin/pictures.h"

#include <array>
#include <cstdint>

namespace standin {

namespace {

constexpr int kSide = 16;

std::uint32_t Fnv1a(const std::string& s) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return h;
}

void Be32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}
void Le16(std::string& out, unsigned v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

std::uint32_t Crc32(const std::string& data) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : data) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void PngChunk(std::string& out, const char* type, const std::string& data) {
  Be32(out, static_cast<std::uint32_t>(data.size()));
  const std::string typed = std::string(type, 4) + data;
  out += typed;
  Be32(out, Crc32(typed));
}

// A 16×16 RGB picture: a diagonal of the second colour on the first, kept
// uncompressed (one stored deflate block) so no zlib is needed.
std::string Png(std::uint32_t colour) {
  std::string raw;
  for (int y = 0; y < kSide; ++y) {
    raw += '\0';  // filter: none
    for (int x = 0; x < kSide; ++x) {
      const std::uint32_t c = (x == y || x + y == kSide - 1) ? ~colour : colour;
      raw += static_cast<char>((c >> 16) & 0xFF);
      raw += static_cast<char>((c >> 8) & 0xFF);
      raw += static_cast<char>(c & 0xFF);
    }
  }
  std::string z = "\x78\x01";
  z += '\x01';  // final stored block
  Le16(z, static_cast<unsigned>(raw.size()));
  Le16(z, static_cast<unsigned>(~raw.size() & 0xFFFF));
  z += raw;
  std::uint32_t a = 1, b = 0;
  for (unsigned char ch : raw) {
    a = (a + ch) % 65521;
    b = (b + a) % 65521;
  }
  Be32(z, (b << 16) | a);

  std::string out = "\x89PNG\r\n\x1a\n";
  std::string ihdr;
  Be32(ihdr, kSide);
  Be32(ihdr, kSide);
  ihdr += '\x08';  // bit depth
  ihdr += '\x02';  // truecolour
  ihdr += std::string(3, '\0');
  PngChunk(out, "IHDR", ihdr);
  PngChunk(out, "IDAT", z);
  PngChunk(out, "IEND", "");
  return out;
}

// A 16×16 two-colour GIF. LZW with 2-bit minimum code size: a clear code
// before every second pixel keeps every code 3 bits wide.
std::string Gif(std::uint32_t colour) {
  std::string out = "GIF89a";
  Le16(out, kSide);
  Le16(out, kSide);
  out += '\x81';  // global colour table of 4 entries
  out += '\0';
  out += '\0';
  const std::uint32_t colours[4] = {colour, ~colour & 0xFFFFFF, 0xFFFFFF, 0};
  for (std::uint32_t c : colours) {
    out += static_cast<char>((c >> 16) & 0xFF);
    out += static_cast<char>((c >> 8) & 0xFF);
    out += static_cast<char>(c & 0xFF);
  }
  out += ',';
  Le16(out, 0);
  Le16(out, 0);
  Le16(out, kSide);
  Le16(out, kSide);
  out += '\0';
  out += '\x02';  // minimum code size

  std::string codes;
  std::uint32_t bitBuffer = 0;
  int bits = 0;
  auto emit = [&](unsigned code) {
    bitBuffer |= code << bits;
    bits += 3;
    while (bits >= 8) {
      codes += static_cast<char>(bitBuffer & 0xFF);
      bitBuffer >>= 8;
      bits -= 8;
    }
  };
  constexpr unsigned kClear = 4, kEnd = 5;
  int pixel = 0;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x, ++pixel) {
      if (pixel % 2 == 0) emit(kClear);
      emit((x == y || x + y == kSide - 1) ? 1u : 0u);
    }
  }
  emit(kEnd);
  if (bits > 0) codes += static_cast<char>(bitBuffer & 0xFF);
  for (std::size_t i = 0; i < codes.size(); i += 255) {
    const std::string block = codes.substr(i, 255);
    out += static_cast<char>(block.size());
    out += block;
  }
  out += '\0';
  out += ';';
  return out;
}

// An 8×8 baseline JPEG of one flat grey: every Huffman table holds a single
// one-bit code, so the whole scan is one byte.
std::string Jpeg(std::uint32_t colour) {
  std::string out = "\xFF\xD8";
  // Quantisation table 0, all ones.
  out += std::string("\xFF\xDB\x00\x43\x00", 5) + std::string(64, '\x01');
  // Frame: 8 bits, 8×8, one component.
  out += std::string("\xFF\xC0\x00\x0B\x08\x00\x08\x00\x08\x01\x01\x11\x00", 13);
  // DC table 0: one code of length 1 for category 0.
  out += std::string("\xFF\xC4\x00\x14\x00\x01", 6) + std::string(15, '\0') + std::string(1, '\0');
  // AC table 0: one code of length 1 for end-of-block.
  out += std::string("\xFF\xC4\x00\x14\x10\x01", 6) + std::string(15, '\0') + std::string(1, '\0');
  // Scan: DC difference 0 ("0") and end of block ("0"), padded with ones.
  out += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);
  out += '\x3F';
  out += "\xFF\xD9";
  (void)colour;  // a flat mid grey: the scan cannot carry a colour this small
  return out;
}

bool EndsWith(const std::string& s, const char* suffix) {
  const std::string x(suffix);
  return s.size() >= x.size() && s.compare(s.size() - x.size(), x.size(), x) == 0;
}

}  // namespace

Picture MakePicture(const std::string& path) {
  const std::uint32_t colour = Fnv1a(path) & 0xFFFFFF;
  if (EndsWith(path, ".png")) return {"image/png", Png(colour)};
  if (EndsWith(path, ".gif")) return {"image/gif", Gif(colour)};
  if (EndsWith(path, ".jpg") || EndsWith(path, ".jpeg")) return {"image/jpeg", Jpeg(colour)};
  return {};
}

}  // namespace standin
