// Sender pictures: fetched once into the per-user URL cache by the polling
// cycles, and loaded from there as 16 x 16 pictures for the ticker.
#pragma once

#include <optional>
#include <string>

#include "platform/image.h"

// Downloads the resource at `url` into the URL cache (replacing an earlier
// copy). Every failure is silent: an address that cannot be fetched leaves
// no new entry.
void PrefetchToUrlCache(const std::u16string& url);

// The cached resource of `url` as a 16 x 16 picture, with no network
// request; none when it is not cached or is not a picture.
std::optional<platform::Image> LoadCachedPicture(const std::u16string& url);
