#include "addin/picture_cache.h"

#include "platform/http.h"
#include "platform/text.h"
#include "platform/url_cache.h"

namespace {

constexpr long kConnectTimeoutMs = 60000;
constexpr long kReceiveTimeoutMs = 60000;
constexpr int kPictureSide = 16;

}  // namespace

void PrefetchToUrlCache(const std::u16string& url) {
  const std::string address = Utf16ToUtf8(url);
  if (address.empty()) return;
  // A body over the entry limit is not read to its end.
  const platform::HttpResult result = platform::HttpGetUrl(address, platform::kAgentString, kConnectTimeoutMs,
                                                           kReceiveTimeoutMs, platform::kUrlCacheMaxEntryBytes);
  // Only a complete, successful answer becomes an entry; an error page is not
  // the picture.
  if (result.failedStep != platform::HttpStep::None || result.status != 200 || result.bodyTooLarge ||
      result.body.empty())
    return;
  platform::UrlCache().Store(address, result.body);
}

std::optional<platform::Image> LoadCachedPicture(const std::u16string& url) {
  std::string data;
  if (!platform::UrlCache().Retrieve(Utf16ToUtf8(url), &data)) return std::nullopt;
  std::optional<platform::Image> picture = platform::DecodeImage(data);
  if (!picture) return std::nullopt;
  if (auto scaled = platform::ScaleImage(*picture, kPictureSide, kPictureSide)) return scaled;
  // Scaling fails only when memory runs out; the picture as it is still
  // serves.
  return picture;
}
