#include "settings/migrate.h"

#include "settings/account.h"
#include "settings/options.h"

namespace {
constexpr char16_t kOldWord[] = u"Plumora";
constexpr char16_t kCompanyKey[] = u"Software\\Nevlora.com";
// Left in an old key once its copy is saved, so that a later attempt (after
// the other copy failed) does not copy it again over newer values.
constexpr char16_t kCopiedMark[] = u"WrenviaCopied";

bool KeyExists(const std::u16string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool IsCopied(const std::u16string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD value = 0;
  DWORD size = sizeof value;
  const bool copied =
      RegQueryValueExW(key, kCopiedMark, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
      value != 0;
  RegCloseKey(key);
  return copied;
}

void MarkCopied(const std::u16string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
  const DWORD one = 1;
  RegSetValueExW(key, kCopiedMark, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
  RegCloseKey(key);
}

// Copies one settings object from its old key to `newPath` unless that was
// done before. A value missing from the old key (a later version's option)
// is copied as its default rather than dropping the whole copy; true when
// the copy is saved.
template <class T>
bool CopySettings(const std::u16string& oldPath, const std::u16string& newPath) {
  if (IsCopied(oldPath)) return true;
  T settings(HKEY_CURRENT_USER, oldPath);
  settings.Load();
  settings.SetKeyPath(newPath);
  if (settings.Save() != ERROR_SUCCESS) return false;
  MarkCopied(oldPath);
  return true;
}
}  // namespace

void MigrateOldSettings() {
  const std::u16string oldOptions = FormatKeyPath(kOptionsKeyFormat, kCompanyWord, kOldWord);
  if (!KeyExists(oldOptions)) return;  // the normal case after the first run

  bool copied = CopySettings<CPLOpts>(oldOptions, FormatKeyPath(kOptionsKeyFormat, kCompanyWord, kProductWord));
  const std::u16string oldAccount = FormatKeyPath(kAccountKeyFormat, kCompanyWord, kOldWord);
  if (KeyExists(oldAccount))
    copied = CopySettings<CTwitterAccount>(oldAccount, FormatKeyPath(kAccountKeyFormat, kCompanyWord, kProductWord)) &&
             copied;

  // The old tree goes only once everything it held is safely copied; after a
  // failed copy it stays for the next start to try again.
  if (!copied) return;
  HKEY company = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kCompanyKey, 0, KEY_WRITE, &company) != ERROR_SUCCESS) return;
  RegDeleteTreeW(company, kOldWord);
  RegCloseKey(company);
}
