// The small persistence framework every settings class shares: a registry
// root and key path, and one ExchangeValues walk over the class's catalogue
// that sets defaults, reads or writes every value in catalogue order.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "platform/registry.h"

// The three kinds a catalogue value can have.
enum class SettingKind { String, Number, Flag };

// One catalogue entry of a settings class T: its registry name, the field it
// is held in, and its default.
template <class T>
struct SettingEntry {
  const char16_t* name;
  std::variant<std::u16string T::*, std::int32_t T::*, bool T::*> field;
  const char16_t* defaultText;   // strings
  std::int32_t defaultNumber;    // numbers, and flags as 0/1

  // The variant's alternatives stand in the order of SettingKind.
  SettingKind kind() const { return static_cast<SettingKind>(field.index()); }
};
static_assert(static_cast<int>(SettingKind::String) == 0 && static_cast<int>(SettingKind::Number) == 1 &&
              static_cast<int>(SettingKind::Flag) == 2);

// Walks a catalogue in one of the three modes. In save mode the first failed
// write stops the walk; in read mode a failed query gives the default and the
// walk goes on. status() is the result of the last step.
class RegExchange {
 public:
  RegExchange(HKEY key, bool save, bool defaultsOnly) : key_(key), save_(save), defaultsOnly_(defaultsOnly) {}

  void Text(const char16_t* name, std::u16string& value, std::u16string_view def);
  void Number(const char16_t* name, std::int32_t& value, std::int32_t def);
  void Flag(const char16_t* name, bool& value, bool def);

  template <class T>
  void Catalogue(T& object, std::span<const SettingEntry<T>> entries) {
    for (const auto& e : entries) {
      if (stopped_) return;
      if (auto* s = std::get_if<std::u16string T::*>(&e.field))
        Text(e.name, object.**s, e.defaultText);
      else if (auto* n = std::get_if<std::int32_t T::*>(&e.field))
        Number(e.name, object.**n, e.defaultNumber);
      else
        Flag(e.name, object.*std::get<bool T::*>(e.field), e.defaultNumber != 0);
    }
  }

  LONG status() const { return status_; }
  bool stopped() const { return stopped_; }
  // Records the result of a step that is not a catalogue value (the search
  // list of the account).
  void SetStatus(LONG status) { status_ = status; }

 private:
  void Done(LONG status);

  HKEY key_;
  bool save_;
  bool defaultsOnly_;
  bool stopped_ = false;
  LONG status_ = ERROR_SUCCESS;
};

// A recursive mutex that a copied settings object does not share: copies get
// a lock of their own.
class SettingsLock {
 public:
  SettingsLock() = default;
  SettingsLock(const SettingsLock&) {}
  SettingsLock& operator=(const SettingsLock&) { return *this; }
  std::recursive_mutex& get() const { return mutex_; }

 private:
  mutable std::recursive_mutex mutex_;
};

class CRegSettings {
 public:
  CRegSettings(HKEY root, std::u16string keyPath) : m_root(root), m_keyPath(std::move(keyPath)) {}
  virtual ~CRegSettings() = default;
  CRegSettings(const CRegSettings&) = default;
  CRegSettings& operator=(const CRegSettings&) = default;

  // Sets defaults (defaultsOnly), writes (save) or reads every catalogue
  // value through `key`. Returns the Win32 status of the last step.
  virtual LONG ExchangeValues(HKEY key, bool save, bool defaultsOnly) = 0;
  virtual void BeforeSave() {}
  virtual void AfterLoad() {}

  // Reads root\path; a missing key gives all defaults and the open error.
  LONG Load();
  // Creates or opens root\path and writes every value.
  LONG Save();

  HKEY Root() const { return m_root; }
  const std::u16string& KeyPath() const { return m_keyPath; }
  void SetKeyPath(std::u16string path) { m_keyPath = std::move(path); }

  // The settings objects are shared by the UI thread and the polling worker.
  // Code that reads or changes fields of a shared object, or saves it, holds
  // this lock around the fields it touches (never across a network call).
  // Load and Save take it themselves; it is recursive.
  std::unique_lock<std::recursive_mutex> Lock() const { return std::unique_lock(m_lock.get()); }

 protected:
  HKEY m_root;
  std::u16string m_keyPath;
  SettingsLock m_lock;
};

// The ExchangeValues walk every settings class shares: the hooks, the
// class's catalogue, then `more` (the account's search list; it sees the
// walk's state and may record its own status).
template <class T, class More>
LONG ExchangeCatalogue(T& self, HKEY key, bool save, bool defaultsOnly, More&& more) {
  if (save && !defaultsOnly) self.BeforeSave();
  RegExchange x(key, save, defaultsOnly);
  x.Catalogue<T>(self, T::Catalogue());
  more(x);
  if (!save && !defaultsOnly) self.AfterLoad();
  return x.status();
}

template <class T>
LONG ExchangeCatalogue(T& self, HKEY key, bool save, bool defaultsOnly) {
  return ExchangeCatalogue(self, key, save, defaultsOnly, [](RegExchange&) {});
}

// Builds "Software\%s.com\%s\..." style key paths.
std::u16string FormatKeyPath(std::u16string_view format, std::u16string_view company, std::u16string_view product);

constexpr char16_t kCompanyWord[] = u"Nevlora";
constexpr char16_t kProductWord[] = u"Wrenvia";
