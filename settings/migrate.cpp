#include "settings/migrate.h"

#include "settings/account.h"
#include "settings/options.h"

namespace {
constexpr char16_t kOldWord[] = u"Plumora";
constexpr char16_t kCompanyKey[] = u"Software\\Nevlora.com";

bool KeyExists(const std::u16string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Copies one settings object from its old key to `newPath`. A value missing
// from the old key (a later version's option) is copied as its default rather
// than dropping the whole copy; true when the copy was saved.
template <class T>
bool CopySettings(const std::u16string& oldPath, const std::u16string& newPath) {
  T settings(HKEY_CURRENT_USER, oldPath);
  settings.Load();
  settings.SetKeyPath(newPath);
  return settings.Save() == ERROR_SUCCESS;
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
