// The in-memory form of one registry hive: a tree of keys holding typed
// values. Names compare without case (as on Windows) but keep the case they
// were created with; keys and values keep their order of creation, which is
// the order enumeration and the hive file use.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/win32.h"

namespace platform::reg {

// Longest key name (one level) and value name, in UTF-16 units, and the
// deepest key path below a root, as Windows limits them.
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;
constexpr std::size_t kMaxKeyDepth = 512;

// The form names are compared in.
std::u16string FoldName(std::u16string_view name);

// True when `name` can be a key name: 1..255 units, no "\", no control
// character, no unpaired surrogate (the hive file is UTF-8 and line based).
bool IsValidKeyName(std::u16string_view name);
// True when `name` can be a value name: 0..16383 units, no control
// character, no unpaired surrogate. The empty name is the default value.
bool IsValidValueName(std::u16string_view name);

struct Value {
  std::u16string name;
  DWORD type = 0;
  std::string data;  // the exact bytes, as RegSetValueExW got them
};

class Key {
 public:
  explicit Key(std::u16string name) : name_(std::move(name)) {}
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  const std::u16string& name() const { return name_; }

  Key* FindSubkey(std::u16string_view name) const;
  // Returns the subkey of that name, creating it (with this spelling) when
  // missing; *created tells which.
  Key* EnsureSubkey(std::u16string_view name, bool* created = nullptr);
  bool RemoveSubkey(std::u16string_view name);
  const std::vector<std::unique_ptr<Key>>& subkeys() const { return subkeys_; }

  const Value* FindValue(std::u16string_view name) const;
  // Replaces the data and type of an existing value (its spelling stays) or
  // appends a new one.
  void SetValue(std::u16string_view name, DWORD type, std::string data);
  bool RemoveValue(std::u16string_view name);
  const std::vector<std::unique_ptr<Value>>& values() const { return values_; }

  // Drops every value and subkey.
  void Clear();
  std::unique_ptr<Key> Clone() const;

 private:
  std::u16string name_;
  std::vector<std::unique_ptr<Key>> subkeys_;
  std::unordered_map<std::u16string, Key*> subkeyIndex_;
  std::vector<std::unique_ptr<Value>> values_;
  std::unordered_map<std::u16string, Value*> valueIndex_;
};

// Walks `path` (one name per level) down from `root`; null when a level is missing.
Key* FindKey(Key* root, const std::vector<std::u16string>& path);

}  // namespace platform::reg
