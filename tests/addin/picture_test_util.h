// Pictures made for the tests, encoded with gdk-pixbuf.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdint>
#include <string>

namespace picture_test {

// A picture of one colour in the given format ("png", "jpeg", "bmp").
inline std::string SolidPicture(int width, int height, std::uint32_t rgb, const char* format = "png") {
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  gdk_pixbuf_fill(pixbuf, (rgb << 8) | 0xff);
  gchar* buffer = nullptr;
  gsize size = 0;
  std::string out;
  if (gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, format, nullptr, nullptr))
    out.assign(buffer, size);
  g_free(buffer);
  g_object_unref(pixbuf);
  return out;
}

}  // namespace picture_test
