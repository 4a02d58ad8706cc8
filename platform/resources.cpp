#include "platform/resources.h"

#include <mutex>
#include <string>
#include <vector>

namespace {

struct Table {
  const platform::ResourceEntry* entries;
  std::size_t count;
};

// Registrations run during start-up in any order, so the list is created on
// first use.
struct Registry {
  std::mutex lock;
  std::vector<Table> tables;
};

Registry& GetRegistry() {
  static Registry registry;
  return registry;
}

// "#123" for a number, the upper-case name otherwise (ASCII case folding, as
// resource names are ASCII in practice).
std::u16string NormalForm(LPCWSTR p) {
  if (IS_INTRESOURCE(p)) {
    const auto id = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(p));
    std::u16string out = u"#";
    for (char c : std::to_string(id)) out.push_back(static_cast<char16_t>(c));
    return out;
  }
  std::u16string out(p);
  if (out.size() > 1 && out[0] == u'#') {
    // "#0123" and "#123" are the same number.
    unsigned long value = 0;
    for (std::size_t i = 1; i < out.size(); ++i) {
      if (out[i] < u'0' || out[i] > u'9' || value > 0xFFFF) return out;
      value = value * 10 + (out[i] - u'0');
    }
    if (value > 0xFFFF) return out;
    return NormalForm(MAKEINTRESOURCEW(static_cast<WORD>(value)));
  }
  for (auto& c : out)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return out;
}

}  // namespace

namespace platform {

ResourceRegistration::ResourceRegistration(const ResourceEntry* entries, std::size_t count) {
  Registry& r = GetRegistry();
  std::lock_guard guard(r.lock);
  for (const Table& t : r.tables)
    if (t.entries == entries) return;  // the same table linked twice
  r.tables.push_back(Table{entries, count});
}

}  // namespace platform

HRSRC FindResourceW(HMODULE, LPCWSTR name, LPCWSTR type) {
  if (!name || !type) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::u16string wantName = NormalForm(name);
  const std::u16string wantType = NormalForm(type);
  Registry& r = GetRegistry();
  std::lock_guard guard(r.lock);
  bool typeSeen = false;
  for (const Table& t : r.tables) {
    for (std::size_t i = 0; i < t.count; ++i) {
      const platform::ResourceEntry& e = t.entries[i];
      if (NormalForm(e.type) != wantType) continue;
      typeSeen = true;
      if (NormalForm(e.name) == wantName) return &e;
    }
  }
  SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  if (!resource) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  return resource->data;
}

const void* LockResource(HGLOBAL loaded) { return loaded; }

DWORD SizeofResource(HMODULE, HRSRC resource) {
  if (!resource) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return 0;
  }
  return static_cast<DWORD>(resource->size);
}
