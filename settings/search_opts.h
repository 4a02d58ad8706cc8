// A saved search, and the ordered list of them that the account owns (subkey
// "Searches" of the account key: "Count" and one subkey per position).
#pragma once

#include <stdexcept>
#include <vector>

#include "settings/reg_settings.h"

class CSearchOpts : public CRegSettings {
 public:
  CSearchOpts();

  LONG ExchangeValues(HKEY key, bool save, bool defaultsOnly) override;
  static std::span<const SettingEntry<CSearchOpts>> Catalogue();

  std::u16string SearchString;
  std::u16string NewMessageFolderId;
  std::u16string NewMessageFolderStoreId;
  std::u16string LastMsgId;
  bool SLID{};
};

// The most searches a user may keep; adding one more is refused.
constexpr std::size_t kMaxSavedSearches = 50;

class CSearchList {
 public:
  void Append(const CSearchOpts& search) { items_.push_back(search); }
  // Later entries move down by one and keep their order.
  void RemoveAt(std::size_t index);
  // An index outside 0..Count()-1 is a programming error: std::out_of_range.
  CSearchOpts& At(std::size_t index) { return items_.at(index); }
  const CSearchOpts& At(std::size_t index) const { return items_.at(index); }
  std::size_t Count() const { return items_.size(); }
  void Clear() { items_.clear(); }

  // Read and write below an open account key.
  LONG Read(HKEY accountKey);
  LONG Write(HKEY accountKey);

 private:
  std::vector<CSearchOpts> items_;
};
