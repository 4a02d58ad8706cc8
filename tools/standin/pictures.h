// Small pictures the stand-in serves as profile images, made in code so the
// bytes are the same on every run: a PNG, a GIF or a JPEG by the path's
// extension, coloured by a hash of the path.
#pragma once

#include <string>

namespace standin {

struct Picture {
  std::string contentType;  // empty: the path names no picture kind
  std::string bytes;
};

// ".png", ".gif", ".jpg"/".jpeg"; any other extension gives an empty Picture.
Picture MakePicture(const std::string& path);

}  // namespace standin
