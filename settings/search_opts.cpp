#include "settings/search_opts.h"

#include "platform/text.h"

namespace {
using E = SettingEntry<CSearchOpts>;
const E kCatalogue[] = {
    {u"SearchString", &CSearchOpts::SearchString, u"", 0},
    {u"NewMessageFolderId", &CSearchOpts::NewMessageFolderId, u"", 0},
    {u"NewMessageFolderStoreId", &CSearchOpts::NewMessageFolderStoreId, u"", 0},
    {u"LastMsgId", &CSearchOpts::LastMsgId, u"", 0},
    {u"SLID", &CSearchOpts::SLID, nullptr, 1},
};
constexpr char16_t kSearchesKey[] = u"Searches";
constexpr char16_t kCountValue[] = u"Count";
}  // namespace

std::span<const SettingEntry<CSearchOpts>> CSearchOpts::Catalogue() { return kCatalogue; }

CSearchOpts::CSearchOpts() : CRegSettings(nullptr, std::u16string()) { ExchangeValues(nullptr, false, true); }

LONG CSearchOpts::ExchangeValues(HKEY key, bool save, bool defaultsOnly) {
  return ExchangeCatalogue(*this, key, save, defaultsOnly);
}

void CSearchList::RemoveAt(std::size_t index) {
  if (index >= items_.size()) throw std::out_of_range("CSearchList::RemoveAt");
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

LONG CSearchList::Read(HKEY accountKey) {
  items_.clear();
  HKEY searches = nullptr;
  LONG rc = RegOpenKeyExW(accountKey, kSearchesKey, 0, KEY_READ, &searches);
  if (rc != ERROR_SUCCESS) return rc;
  DWORD count = 0;
  DWORD size = sizeof count;
  if (RegQueryValueExW(searches, kCountValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&count), &size) !=
      ERROR_SUCCESS)
    count = 0;
  for (DWORD i = 0; i < count; ++i) {
    HKEY entry = nullptr;
    rc = RegOpenKeyExW(searches, ToDecimalW(i).c_str(), 0, KEY_READ, &entry);
    if (rc != ERROR_SUCCESS) break;
    CSearchOpts search;
    rc = search.ExchangeValues(entry, false, false);
    items_.push_back(search);
    RegCloseKey(entry);
  }
  RegCloseKey(searches);
  return rc;
}

LONG CSearchList::Write(HKEY accountKey) {
  HKEY searches = nullptr;
  LONG rc = RegCreateKeyExW(accountKey, kSearchesKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                            &searches, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  const DWORD count = static_cast<DWORD>(items_.size());
  RegSetValueExW(searches, kCountValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
  for (DWORD i = 0; i < count; ++i) {
    HKEY entry = nullptr;
    rc = RegCreateKeyExW(searches, ToDecimalW(i).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                         &entry, nullptr);
    if (rc != ERROR_SUCCESS) break;
    rc = items_[i].ExchangeValues(entry, true, false);
    const LONG closed = RegCloseKey(entry);
    if (rc == ERROR_SUCCESS) rc = closed;
    if (rc != ERROR_SUCCESS) break;
  }
  const LONG closed = RegCloseKey(searches);
  return rc != ERROR_SUCCESS ? rc : closed;
}
