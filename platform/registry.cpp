#include "platform/registry.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/known_folders.h"
#include "platform/reg_hive.h"
#include "platform/text.h"

namespace {

using platform::reg::Change;
using platform::reg::Hive;
using platform::reg::Key;
using Path = std::vector<std::u16string>;

constexpr std::uintptr_t kClassesRoot = 0x80000000u;
constexpr std::uintptr_t kCurrentUser = 0x80000001u;
constexpr const char16_t* kHiveNames[2] = {u"HKEY_CURRENT_USER", u"HKEY_CLASSES_ROOT"};

struct OpenKey {
  int hive;
  Path path;  // as spelled in the hive
  REGSAM sam;
  bool wrote = false;  // closing it makes the hive's changes durable
};

// Every hive and open handle of the process, behind one lock.
struct Registry {
  std::mutex mutex;
  std::unique_ptr<Hive> hives[2];
  std::unordered_map<std::uintptr_t, OpenKey> handles;
  std::uintptr_t nextHandle = 0x1000;
};

// Never destroyed: keys may still be closed while the process exits.
Registry& State() {
  static Registry* registry = new Registry;
  return *registry;
}

Hive& HiveAt(Registry& r, int index) {
  if (!r.hives[index]) {
    const std::string folder = platform::ConfigFolder();
    const std::u16string name = kHiveNames[index];
    std::string file;
    if (!folder.empty()) file = folder + "/" + Utf16ToUtf8(name) + ".reg";
    r.hives[index] = std::make_unique<Hive>(name, file);
  }
  return *r.hives[index];
}

// What a call works on: the key a handle stands for.
struct Target {
  int hiveIndex = 0;
  Hive* hive = nullptr;
  Key* key = nullptr;
  Path path;
  REGSAM sam = 0;
  OpenKey* open = nullptr;  // null for the predefined roots
};

LONG Resolve(Registry& r, HKEY handle, Target* t) {
  const auto id = reinterpret_cast<std::uintptr_t>(handle);
  int hive;
  if (id == kCurrentUser || id == kClassesRoot) {
    hive = id == kCurrentUser ? 0 : 1;
    t->sam = KEY_ALL_ACCESS;
  } else {
    const auto it = r.handles.find(id);
    if (it == r.handles.end()) return ERROR_INVALID_HANDLE;
    t->open = &it->second;
    hive = t->open->hive;
    t->path = t->open->path;
    t->sam = t->open->sam;
  }
  t->hiveIndex = hive;
  t->hive = &HiveAt(r, hive);
  t->hive->Refresh();
  t->key = platform::reg::FindKey(t->hive->view(), t->path);
  return t->key ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

// Splits a subkey path into names. One trailing "\" is accepted, as Windows
// does; empty levels and names no hive file could hold are refused.
LONG SplitPath(LPCWSTR subKey, std::size_t baseDepth, Path* names) {
  names->clear();
  if (!subKey || !*subKey) return ERROR_SUCCESS;
  std::u16string_view s(subKey);
  if (s.back() == u'\\') s.remove_suffix(1);
  for (;;) {
    const std::size_t sep = s.find(u'\\');
    const std::u16string_view name = s.substr(0, sep);
    if (!platform::reg::IsValidKeyName(name)) return ERROR_INVALID_PARAMETER;
    names->emplace_back(name);
    if (baseDepth + names->size() > platform::reg::kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
    if (sep == std::u16string_view::npos) break;
    s.remove_prefix(sep + 1);
  }
  return ERROR_SUCCESS;
}

// Walks `names` down from the target; on success *path is the full path as
// spelled in the hive.
Key* Walk(const Target& t, const Path& names, Path* path) {
  Key* key = t.key;
  *path = t.path;
  for (const auto& name : names) {
    key = key->FindSubkey(name);
    if (!key) return nullptr;
    path->push_back(key->name());
  }
  return key;
}

HKEY NewHandle(Registry& r, OpenKey open) {
  std::uintptr_t id = r.nextHandle;
  r.nextHandle += 4;
  if (r.nextHandle >= kClassesRoot && r.nextHandle <= kClassesRoot + 0x100) r.nextHandle = kClassesRoot + 0x104;
  r.handles.emplace(id, std::move(open));
  return reinterpret_cast<HKEY>(id);
}

// After a change through `t`: through a predefined root it is made durable
// at once; through an opened key when that key is closed.
LONG AfterWrite(const Target& t) {
  if (!t.open) return t.hive->Flush();
  t.open->wrote = true;
  return ERROR_SUCCESS;
}

std::u16string ValueName(LPCWSTR name) { return name ? std::u16string(name) : std::u16string(); }

// The data part of RegQueryValueExW and RegEnumValueW.
LONG CopyData(const platform::reg::Value& v, DWORD* type, BYTE* data, DWORD* cbData) {
  if (type) *type = v.type;
  const auto size = static_cast<DWORD>(v.data.size());
  if (!data) {
    if (cbData) *cbData = size;
    return ERROR_SUCCESS;
  }
  if (*cbData < size) {
    *cbData = size;
    return ERROR_MORE_DATA;
  }
  if (size) std::memcpy(data, v.data.data(), size);
  *cbData = size;
  return ERROR_SUCCESS;
}

// Copies a name into a caller's buffer of *cch units (room for the NUL
// included); on success *cch is the length without the NUL.
LONG CopyName(const std::u16string& name, LPWSTR out, DWORD* cch) {
  if (name.size() + 1 > *cch) return ERROR_MORE_DATA;
  std::memcpy(out, name.c_str(), (name.size() + 1) * sizeof(char16_t));
  *cch = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

}  // namespace

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM sam, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Registry& r = State();
  std::lock_guard lock(r.mutex);
  Target t;
  if (const LONG err = Resolve(r, key, &t)) return err;
  Path names, path;
  if (const LONG err = SplitPath(subKey, t.path.size(), &names)) return err;
  if (!Walk(t, names, &path)) return ERROR_FILE_NOT_FOUND;
  *result = NewHandle(r, OpenKey{t.hiveIndex, std::move(path), sam});
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM sam, const void*, HKEY* result,
                     DWORD* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Registry& r = State();
  std::lock_guard lock(r.mutex);
  Target t;
  if (const LONG err = Resolve(r, key, &t)) return err;
  Path names;
  if (const LONG err = SplitPath(subKey, t.path.size(), &names)) return err;
  // Existing levels keep their spelling, new ones take the caller's.
  Path path = t.path;
  Key* k = t.key;
  for (const auto& name : names) {
    k = k ? k->FindSubkey(name) : nullptr;
    path.push_back(k ? k->name() : name);
  }
  const bool created = k == nullptr;
  if (created) {
    if (!(t.sam & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    t.hive->Record(Change{Change::Kind::kCreateKey, path, {}, 0, {}});
  }
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  OpenKey open{t.hiveIndex, std::move(path), sam};
  open.wrote = created;
  *result = NewHandle(r, std::move(open));
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  const auto id = reinterpret_cast<std::uintptr_t>(key);
  if (id == kCurrentUser || id == kClassesRoot) return ERROR_SUCCESS;
  Registry& r = State();
  std::lock_guard lock(r.mutex);
  const auto it = r.handles.find(id);
  if (it == r.handles.end()) return ERROR_INVALID_HANDLE;
  const bool wrote = it->second.wrote;
  const int hive = it->second.hive;
  r.handles.erase(it);
  if (!wrote) return ERROR_SUCCESS;
  // Nested keys written in one go (a settings object and its subkeys) reach
  // the disk together, when the last key that wrote to the hive is closed.
  for (const auto& [id, other] : r.handles)
    if (other.hive == hive && other.wrote) return ERROR_SUCCESS;
  return HiveAt(r, hive).Flush();
}

LONG RegFlushKey(HKEY key) {
  Registry& r = State();
  std::lock_guard lock(r.mutex);
  Target t;
  if (const LONG err = Resolve(r, key, &t)) return err;
  return t.hive->Flush();
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* cbData) {
  if (reserved || (data && !cbData)) return ERROR_INVALID_PARAMETER;
  Registry& r = State();
  std::lock_guard lock(r.mutex);
  Target t;
  if (const LONG err = Resolve(r, key, &t)) return err;
  const platform::reg::Value* v = t.key->FindValue(ValueName(valueName));
  if (!v) return ERROR_FILE_NOT_FOUND;
  return CopyData(*v, type, data, cbData);
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD cbData) {
  if (!data && cbData) return ERROR_INVALID_PARAMETER;
  const std::u16string name = ValueName(valueName);
  if (!platform::reg::IsValidValueName(name)) return ERROR_INVALID_PARAMETER;
  Registry& r = State();
  std::lock_guard lock(r.mutex);
  Target t;
  if (const LONG err = Resolve(r, key, &t)) return err;
  if (!(t.sam & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  std::string bytes(reinterpret_cast<const char*>(data), data ? cbData : 0);
  t.hive->Record(Change{Change::Kind::kSetValue, t.path, name, type, std::move(bytes)});
  return AfterWrite(t);
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  Registry& r = State();
  std::lock_guard lock(r.mutex);
  Target t;
  if (const LONG err = Resolve(r, key, &t)) return err;
  if (!(t.sam & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  const std::u16string name = ValueName(valueName);
  if (!t.key->FindValue(name)) return ERROR_FILE_NOT_FOUND;
  t.hive->Record(Change{Change::Kind::kDeleteValue, t.path, name, 0, {}});
  return AfterWrite(t);
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, DWORD* cchName, DWORD* reserved, LPWSTR keyClass,
                   DWORD* cchClass, FILETIME* lastWriteTime) {
  if (!name || !cchName || reserved) return ERROR_INVALID_PARAMETER;
  Registry& r = State();
  std::lock_guard lock(r.mutex);
  Target t;
  if (const LONG err = Resolve(r, key, &t)) return err;
  const auto& subkeys = t.key->subkeys();
  if (index >= subkeys.size()) return ERROR_NO_MORE_ITEMS;
  if (const LONG err = CopyName(subkeys[index]->name(), name, cchName)) return err;
  // Keys have no class here.
  if (cchClass) {
    if (keyClass && *cchClass) keyClass[0] = u'\0';
    *cchClass = 0;
  }
  if (lastWriteTime) *lastWriteTime = U64ToFileTime(t.hive->LastWriteTime());
  return ERROR_SUCCESS;
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, DWORD* cchName, DWORD* reserved, DWORD* type, BYTE* data,
                   DWORD* cbData) {
  if (!name || !cchName || reserved || (data && !cbData)) return ERROR_INVALID_PARAMETER;
  Registry& r = State();
  std::lock_guard lock(r.mutex);
  Target t;
  if (const LONG err = Resolve(r, key, &t)) return err;
  const auto& values = t.key->values();
  if (index >= values.size()) return ERROR_NO_MORE_ITEMS;
  const platform::reg::Value& v = *values[index];
  if (const LONG err = CopyName(v.name, name, cchName)) return err;
  return CopyData(v, type, data, cbData);
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
  if (!subKey) return ERROR_INVALID_PARAMETER;
  Registry& r = State();
  std::lock_guard lock(r.mutex);
  Target t;
  if (const LONG err = Resolve(r, key, &t)) return err;
  Path names, path;
  if (const LONG err = SplitPath(subKey, t.path.size(), &names)) return err;
  const Key* k = Walk(t, names, &path);
  if (!k) return ERROR_FILE_NOT_FOUND;
  // A root cannot be deleted; a key with subkeys needs RegDeleteTreeW.
  if (path.empty() || !k->subkeys().empty()) return ERROR_ACCESS_DENIED;
  t.hive->Record(Change{Change::Kind::kDeleteKey, std::move(path), {}, 0, {}});
  return AfterWrite(t);
}

LONG RegDeleteTreeW(HKEY key, LPCWSTR subKey) {
  Registry& r = State();
  std::lock_guard lock(r.mutex);
  Target t;
  if (const LONG err = Resolve(r, key, &t)) return err;
  Path names, path;
  if (const LONG err = SplitPath(subKey, t.path.size(), &names)) return err;
  if (names.empty()) {
    t.hive->Record(Change{Change::Kind::kClearKey, t.path, {}, 0, {}});
  } else {
    if (!Walk(t, names, &path)) return ERROR_FILE_NOT_FOUND;
    t.hive->Record(Change{Change::Kind::kDeleteKey, std::move(path), {}, 0, {}});
  }
  return AfterWrite(t);
}

namespace platform {

std::string ConfigFolder() {
  const std::string base = XdgFolder("XDG_CONFIG_HOME", ".config");
  return base.empty() ? std::string() : base + "/wrenvia";
}

void ResetRegistryForTests() {
  Registry& r = State();
  std::lock_guard lock(r.mutex);
  r.hives[0].reset();
  r.hives[1].reset();
  r.handles.clear();
}

}  // namespace platform
