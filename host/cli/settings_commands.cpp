// `wrenvia settings ...` and `wrenvia account password`: the option catalogue
// by registry name.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/cli/cli.h"
#include "host/cli/run_lock.h"
#include "platform/text.h"
#include "settings/account.h"
#include "settings/options.h"

namespace cli {
namespace {

std::string Narrow(const std::u16string& s) { return PrintableText(s); }

template <class T>
const SettingEntry<T>* FindEntry(const std::u16string& name) {
  for (const auto& e : T::Catalogue())
    if (EqualsIgnoreCase(e.name, name)) return &e;
  return nullptr;
}

template <class T>
std::string ValueText(const T& object, const SettingEntry<T>& e) {
  if (EqualsIgnoreCase(e.name, u"Password")) {
    const auto* s = std::get_if<std::u16string T::*>(&e.field);
    return (object.**s).empty() ? "(not set)" : "(set)";
  }
  if (auto* s = std::get_if<std::u16string T::*>(&e.field)) return "\"" + Narrow(object.**s) + "\"";
  if (auto* n = std::get_if<std::int32_t T::*>(&e.field)) return std::to_string(object.**n);
  return object.*std::get<bool T::*>(e.field) ? "1" : "0";
}

template <class T>
void PrintCatalogue(const char* title, const T& object) {
  std::printf("%s\n", title);
  for (const auto& e : T::Catalogue())
    std::printf("  %-26s %s\n", Narrow(e.name).c_str(), ValueText(object, e).c_str());
}

void PrintSearches(const CTwitterAccount& account) {
  const std::size_t count = account.Searches.Count();
  std::printf("Saved searches (%zu)\n", count);
  for (std::size_t i = 0; i < count; ++i) {
    const CSearchOpts& s = account.Searches.At(i);
    std::printf("  %zu: \"%s\" folder=\"%s\" store=\"%s\" LastMsgId=\"%s\" SLID=%d\n", i,
                Narrow(s.SearchString).c_str(), Narrow(s.NewMessageFolderId).c_str(),
                Narrow(s.NewMessageFolderStoreId).c_str(), Narrow(s.LastMsgId).c_str(), s.SLID ? 1 : 0);
  }
}

bool ParseNumber(const std::string& text, std::int32_t* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
  *out = static_cast<std::int32_t>(v);
  return true;
}

bool ParseFlag(const std::string& text, bool* out) {
  static const char* const kTrue[] = {"1", "on", "true", "yes"};
  static const char* const kFalse[] = {"0", "off", "false", "no"};
  const std::u16string t = Utf8ToUtf16(text);
  for (const char* s : kTrue)
    if (EqualsIgnoreCase(t, Utf8ToUtf16(s))) return *out = true, true;
  for (const char* s : kFalse)
    if (EqualsIgnoreCase(t, Utf8ToUtf16(s))) return *out = false, true;
  return false;
}

// Checks and applies `value` to one entry; on bad input nothing changes.
template <class T>
int SetEntry(T& object, const SettingEntry<T>& e, const std::string& value) {
  auto guard = object.Lock();
  switch (e.kind()) {
    case SettingKind::String:
      object.*std::get<std::u16string T::*>(e.field) = Utf8ToUtf16(value);
      break;
    case SettingKind::Number: {
      std::int32_t n;
      if (!ParseNumber(value, &n)) {
        std::fprintf(stderr, "wrenvia: %s takes a whole number from %d to %d, not '%s'; nothing was changed\n",
                     Narrow(e.name).c_str(), INT32_MIN, INT32_MAX, value.c_str());
        return 2;
      }
      object.*std::get<std::int32_t T::*>(e.field) = n;
      break;
    }
    case SettingKind::Flag: {
      bool b;
      if (!ParseFlag(value, &b)) {
        std::fprintf(stderr, "wrenvia: %s is a flag: give 1 or 0 (on/off, true/false), not '%s'; nothing was changed\n",
                     Narrow(e.name).c_str(), value.c_str());
        return 2;
      }
      object.*std::get<bool T::*>(e.field) = b;
      break;
    }
  }
  const LONG rc = object.Save();
  if (rc != ERROR_SUCCESS) {
    std::fprintf(stderr, "wrenvia: the settings could not be saved (error %d)\n", static_cast<int>(rc));
    return 1;
  }
  return 0;
}

int Get(const std::string& name) {
  const std::u16string w = Utf8ToUtf16(name);
  if (const auto* e = FindEntry<CPLOpts>(w)) {
    auto guard = GetOptions().Lock();
    std::printf("%s\n", ValueText(GetOptions(), *e).c_str());
    return 0;
  }
  if (const auto* e = FindEntry<CTwitterAccount>(w)) {
    auto guard = GetAccount().Lock();
    std::printf("%s\n", ValueText(GetAccount(), *e).c_str());
    return 0;
  }
  std::fprintf(stderr, "wrenvia: there is no setting named '%s' (see 'wrenvia settings list')\n", name.c_str());
  return 2;
}

int Set(const std::string& name, const std::string& value) {
  const std::u16string w = Utf8ToUtf16(name);
  if (EqualsIgnoreCase(w, u"Password")) {
    std::fprintf(stderr, "wrenvia: the password is set with 'wrenvia account password'; nothing was changed\n");
    return 2;
  }
  if (const auto* e = FindEntry<CPLOpts>(w)) return SetEntry(GetOptions(), *e, value);
  if (const auto* e = FindEntry<CTwitterAccount>(w)) return SetEntry(GetAccount(), *e, value);
  std::fprintf(stderr, "wrenvia: there is no setting named '%s' (see 'wrenvia settings list'); nothing was changed\n",
               name.c_str());
  return 2;
}

}  // namespace

int SettingsCommand(const Args& args) {
  if (args.size() == 1 && args[0] == "list") {
    {
      auto guard = GetOptions().Lock();
      PrintCatalogue("Options (HKEY_CURRENT_USER\\Software\\Nevlora.com\\Wrenvia\\Options)", GetOptions());
    }
    auto guard = GetAccount().Lock();
    PrintCatalogue("Account (HKEY_CURRENT_USER\\Software\\Nevlora.com\\Wrenvia\\Options\\Account)", GetAccount());
    PrintSearches(GetAccount());
    return 0;
  }
  if (args.size() == 2 && args[0] == "get") return Get(args[1]);
  if (args.size() == 3 && args[0] == "set") return RefuseWhilePolling() ? 2 : Set(args[1], args[2]);
  return PrintUsage(2);
}

}  // namespace cli
