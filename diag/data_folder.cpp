#include "diag/data_folder.h"

#include <cstring>

namespace {
constexpr char16_t kDataSubPath[] = u"Nevlora/Wrenvia";

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }
}  // namespace

std::u16string NativePath(std::u16string_view path) {
  std::u16string out(path);
  for (auto& c : out)
    if (c == u'\\') c = kPathSeparator;
  return out;
}

void GetDataFolder(char16_t (&path)[MAX_PATH]) {
  path[0] = 0;
  if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path) < 0 || path[0] == 0) {
    static const char16_t kFallback[] = u"c:\\";
    std::memcpy(path, kFallback, sizeof kFallback);
    return;
  }
  std::u16string p(path);
  if (!IsSeparator(p.back())) p.push_back(kPathSeparator);
  p += kDataSubPath;
  // A folder that does not fit is the same as none: a cut path would name
  // another folder.
  if (p.size() + 1 > static_cast<std::size_t>(MAX_PATH)) p = u"c:\\";
  std::memcpy(path, p.c_str(), (p.size() + 1) * sizeof(char16_t));
}

std::u16string GetDataFolder() {
  char16_t path[MAX_PATH];
  GetDataFolder(path);
  return path;
}

bool CreateFolderChain(std::u16string_view path) {
  const std::u16string native = NativePath(path);
  if (native.empty() || GetFileAttributesW(native.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  std::u16string work = native;
  const auto last = work.find_last_of(u"/");
  if (last != std::u16string::npos) work.resize(last);
  for (std::size_t i = 1; i < work.size(); ++i) {
    if (IsSeparator(work[i])) {
      const std::u16string prefix = work.substr(0, i);
      CreateDirectoryW(prefix.c_str(), nullptr);
    }
  }
  if (!work.empty()) CreateDirectoryW(work.c_str(), nullptr);
  return true;
}
