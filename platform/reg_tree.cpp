#include "platform/reg_tree.h"

#include <algorithm>

#include "platform/text.h"

namespace platform::reg {

namespace {

// No control characters and only paired surrogates: such a name survives the
// trip through the line-based UTF-8 hive file unchanged.
bool IsCleanText(std::u16string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c < 0x20 || c == 0x7F) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

template <typename T>
void EraseOwned(std::vector<std::unique_ptr<T>>& items, const T* item) {
  const auto it = std::find_if(items.begin(), items.end(), [item](const auto& p) { return p.get() == item; });
  if (it != items.end()) items.erase(it);
}

}  // namespace

std::u16string FoldName(std::u16string_view name) {
  std::u16string out(name);
  for (auto& c : out) c = ToUpperW(c);
  return out;
}

bool IsValidKeyName(std::u16string_view name) {
  return !name.empty() && name.size() <= kMaxKeyNameLength && name.find(u'\\') == std::u16string_view::npos &&
         IsCleanText(name);
}

bool IsValidValueName(std::u16string_view name) { return name.size() <= kMaxValueNameLength && IsCleanText(name); }

Key* Key::FindSubkey(std::u16string_view name) const {
  const auto it = subkeyIndex_.find(FoldName(name));
  return it == subkeyIndex_.end() ? nullptr : it->second;
}

Key* Key::EnsureSubkey(std::u16string_view name, bool* created) {
  std::u16string folded = FoldName(name);
  const auto it = subkeyIndex_.find(folded);
  if (created) *created = it == subkeyIndex_.end();
  if (it != subkeyIndex_.end()) return it->second;
  subkeys_.push_back(std::make_unique<Key>(std::u16string(name)));
  Key* key = subkeys_.back().get();
  subkeyIndex_.emplace(std::move(folded), key);
  return key;
}

bool Key::RemoveSubkey(std::u16string_view name) {
  const auto it = subkeyIndex_.find(FoldName(name));
  if (it == subkeyIndex_.end()) return false;
  const Key* key = it->second;
  subkeyIndex_.erase(it);
  EraseOwned(subkeys_, key);
  return true;
}

const Value* Key::FindValue(std::u16string_view name) const {
  const auto it = valueIndex_.find(FoldName(name));
  return it == valueIndex_.end() ? nullptr : it->second;
}

void Key::SetValue(std::u16string_view name, DWORD type, std::string data) {
  std::u16string folded = FoldName(name);
  const auto it = valueIndex_.find(folded);
  if (it != valueIndex_.end()) {
    it->second->type = type;
    it->second->data = std::move(data);
    return;
  }
  values_.push_back(std::make_unique<Value>(Value{std::u16string(name), type, std::move(data)}));
  valueIndex_.emplace(std::move(folded), values_.back().get());
}

bool Key::RemoveValue(std::u16string_view name) {
  const auto it = valueIndex_.find(FoldName(name));
  if (it == valueIndex_.end()) return false;
  const Value* value = it->second;
  valueIndex_.erase(it);
  EraseOwned(values_, value);
  return true;
}

void Key::Clear() {
  subkeyIndex_.clear();
  subkeys_.clear();
  valueIndex_.clear();
  values_.clear();
}

std::unique_ptr<Key> Key::Clone() const {
  auto copy = std::make_unique<Key>(name_);
  for (const auto& v : values_) copy->SetValue(v->name, v->type, v->data);
  for (const auto& k : subkeys_) {
    auto child = k->Clone();
    copy->subkeyIndex_.emplace(FoldName(child->name()), child.get());
    copy->subkeys_.push_back(std::move(child));
  }
  return copy;
}

Key* FindKey(Key* root, const std::vector<std::u16string>& path) {
  Key* key = root;
  for (const auto& name : path) {
    if (!key) break;
    key = key->FindSubkey(name);
  }
  return key;
}

}  // namespace platform::reg
