// The Twitter account with its polling, storage and posting options and the
// saved searches (HKCU "Software\Nevlora.com\Wrenvia\Options\Account").
#pragma once

#include "settings/reg_settings.h"
#include "settings/search_opts.h"

class CTwitterAccount : public CRegSettings {
 public:
  CTwitterAccount(HKEY root, std::u16string keyPath);
  // The account key of this product.
  CTwitterAccount();

  LONG ExchangeValues(HKEY key, bool save, bool defaultsOnly) override;
  static std::span<const SettingEntry<CTwitterAccount>> Catalogue();

  // The clear-text password (empty when it cannot be unprotected).
  std::u16string GetPassword() const;
  // Stores the protected form of `password` in Password; the caller saves.
  // False, with the stored password left as it was, when it could not be
  // protected.
  bool SetPassword(std::u16string_view password);

  std::u16string User;
  std::u16string Password;  // protected, as hex text; never the clear text
  std::u16string FriendsSince;
  std::u16string FriendsLastMsgId;
  std::u16string RepliesSince;
  std::u16string RepliesLastMsgId;
  std::u16string DirectSince;
  std::u16string DirectLastMsgId;
  std::int32_t PollFrequency{};
  bool PollForNewTweets{};
  std::u16string NewMessageFolderId;
  std::u16string NewMessageFolderStoreId;
  bool PerSenderFolders{};
  std::u16string NewMessageSound;
  std::u16string NewMessageCategories;
  bool ShortenUrls{};
  bool TinyUrlPreview{};
  bool EnableStats{};
  bool IgnoreUpdateSizeLimit{};
  bool WarnOverLimit{};
  bool UseHttps{};
  bool FetchFriendTimeline{};
  bool FetchReplies{};
  bool FetchDirectMessages{};
  bool SaveSentMessages{};
  std::u16string SentMessageFolderId;
  std::u16string SentMessageFolderStoreId;
  std::int32_t RequestMessageCount{};
  std::u16string ApiUrlPrefix;
  std::u16string ApiHost;
  std::u16string PrefPicService;
  bool ShowExpandedPostWindow{};
  CSearchList Searches;
};

constexpr char16_t kAccountKeyFormat[] = u"Software\\%s.com\\%s\\Options\\Account";

// The process-wide account, created and loaded on first use.
CTwitterAccount& GetAccount();
