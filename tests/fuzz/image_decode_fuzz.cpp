// Sender pictures come from any host on the network: decoding and scaling
// must survive whatever bytes arrive.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (auto image = platform::DecodeImage(bytes)) {
    if (image->pixels.size() != static_cast<std::size_t>(image->width) * image->height * 4) __builtin_trap();
    if (auto scaled = platform::ScaleImage(*image, 16, 16)) {
      if (scaled->width != 16 || scaled->height != 16 || scaled->pixels.size() != 16u * 16 * 4) __builtin_trap();
    }
  }
  return 0;
}
