#include "platform/image.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace platform {
namespace {

struct ObjectUnref {
  void operator()(void* p) const {
    if (p) g_object_unref(p);
  }
};
using LoaderPtr = std::unique_ptr<GdkPixbufLoader, ObjectUnref>;
using PixbufPtr = std::unique_ptr<GdkPixbuf, ObjectUnref>;

bool SizeAllowed(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
         width * height <= kMaxImagePixels;
}

// Only the formats of web pictures are handed to a decoder: the other
// loaders gdk-pixbuf may have installed (BMP, SVG, TIFF, ANI, TGA ...) are
// more than a sender picture needs and more to trust (the BMP loader, for
// one, sizes a buffer from the header before the picture size is known).
const char* LoaderFor(std::string_view data) {
  auto starts = [&](std::string_view magic) { return data.substr(0, magic.size()) == magic; };
  if (starts("\x89PNG\r\n\x1a\n")) return "png";
  if (starts("\xff\xd8\xff")) return "jpeg";
  if (starts("GIF87a") || starts("GIF89a")) return "gif";
  return nullptr;
}

struct LoadState {
  bool refused = false;
  int rowsDone = 0;  // rows below this one have been decoded
};

// Refuses pictures over the limits as soon as their header is read: a size
// of 0 x 0 makes the decoder stop before it allocates the pixels.
void OnSizePrepared(GdkPixbufLoader* loader, int width, int height, gpointer state) {
  if (!SizeAllowed(width, height)) {
    static_cast<LoadState*>(state)->refused = true;
    gdk_pixbuf_loader_set_size(loader, 0, 0);
  }
}

// Some decoders hand out a picture cut short with its missing rows blank;
// counting the decoded rows tells it from a whole one.
void OnAreaUpdated(GdkPixbufLoader*, int, int y, int, int height, gpointer state) {
  auto* s = static_cast<LoadState*>(state);
  s->rowsDone = std::max(s->rowsDone, y + height);
}

std::optional<Image> FromPixbuf(const GdkPixbuf* pixbuf) {
  if (!pixbuf || gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB ||
      gdk_pixbuf_get_bits_per_sample(pixbuf) != 8)
    return std::nullopt;
  const int width = gdk_pixbuf_get_width(pixbuf);
  const int height = gdk_pixbuf_get_height(pixbuf);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  if (!SizeAllowed(width, height) || channels != (alpha ? 4 : 3) || stride < width * channels) return std::nullopt;
  const guint8* src = gdk_pixbuf_read_pixels(pixbuf);
  if (!src) return std::nullopt;
  Image image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<std::size_t>(width) * height * 4);
  std::uint8_t* out = image.pixels.data();
  for (int y = 0; y < height; ++y) {
    const guint8* row = src + static_cast<std::size_t>(y) * stride;
    for (int x = 0; x < width; ++x, out += 4) {
      const guint8* p = row + static_cast<std::size_t>(x) * channels;
      out[0] = p[0];
      out[1] = p[1];
      out[2] = p[2];
      out[3] = alpha ? p[3] : 255;
    }
  }
  return image;
}

}  // namespace

std::optional<Image> DecodeImage(std::string_view data) {
  if (data.empty() || data.size() > kMaxEncodedImageBytes) return std::nullopt;
  const char* type = LoaderFor(data);
  if (!type) return std::nullopt;
  GError* error = nullptr;
  LoaderPtr loader(gdk_pixbuf_loader_new_with_type(type, &error));
  if (!loader) {
    g_clear_error(&error);
    return std::nullopt;
  }
  LoadState state;
  g_signal_connect(loader.get(), "size-prepared", G_CALLBACK(OnSizePrepared), &state);
  g_signal_connect(loader.get(), "area-updated", G_CALLBACK(OnAreaUpdated), &state);
  // Small pieces let a refused size stop the work early.
  constexpr std::size_t kPiece = 16384;
  bool ok = true;
  for (std::size_t at = 0; at < data.size() && ok && !state.refused; at += kPiece) {
    const std::size_t n = std::min(kPiece, data.size() - at);
    ok = gdk_pixbuf_loader_write(loader.get(), reinterpret_cast<const guchar*>(data.data() + at), n, &error);
  }
  g_clear_error(&error);
  // Closing is required even after a failure; its own error decides only
  // for data that wrote cleanly (a picture cut short still has no pixbuf).
  const bool closed = gdk_pixbuf_loader_close(loader.get(), &error);
  g_clear_error(&error);
  if (!ok || !closed || state.refused) return std::nullopt;
  const GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get());
  if (!pixbuf || state.rowsDone < gdk_pixbuf_get_height(pixbuf)) return std::nullopt;
  return FromPixbuf(pixbuf);
}

std::optional<Image> ScaleImage(const Image& image, int width, int height) {
  if (!SizeAllowed(width, height) || !SizeAllowed(image.width, image.height) ||
      image.pixels.size() != static_cast<std::size_t>(image.width) * image.height * 4)
    return std::nullopt;
  // The source is wrapped, not copied; gdk-pixbuf does not write to it.
  PixbufPtr source(gdk_pixbuf_new_from_data(image.pixels.data(), GDK_COLORSPACE_RGB, TRUE, 8, image.width,
                                            image.height, image.width * 4, nullptr, nullptr));
  if (!source) return std::nullopt;
  PixbufPtr scaled(gdk_pixbuf_scale_simple(source.get(), width, height, GDK_INTERP_HYPER));
  if (!scaled) return std::nullopt;
  return FromPixbuf(scaled.get());
}

}  // namespace platform
