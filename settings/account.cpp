#include "settings/account.h"

#include "settings/password.h"

namespace {
using E = SettingEntry<CTwitterAccount>;
using A = CTwitterAccount;
const E kCatalogue[] = {
    {u"User", &A::User, u"", 0},
    {u"Password", &A::Password, u"", 0},
    {u"FriendsSince", &A::FriendsSince, u"", 0},
    {u"FriendsLastMsgId", &A::FriendsLastMsgId, u"", 0},
    {u"RepliesSince", &A::RepliesSince, u"", 0},
    {u"RepliesLastMsgId", &A::RepliesLastMsgId, u"", 0},
    {u"DirectSince", &A::DirectSince, u"", 0},
    {u"DirectLastMsgId", &A::DirectLastMsgId, u"", 0},
    {u"PollFrequency", &A::PollFrequency, nullptr, 5},
    {u"PollForNewTweets", &A::PollForNewTweets, nullptr, 1},
    {u"NewMessageFolderId", &A::NewMessageFolderId, u"", 0},
    {u"NewMessageFolderStoreId", &A::NewMessageFolderStoreId, u"", 0},
    {u"PerSenderFolders", &A::PerSenderFolders, nullptr, 0},
    {u"NewMessageSound", &A::NewMessageSound, u"", 0},
    {u"NewMessageCategories", &A::NewMessageCategories, u"", 0},
    {u"ShortenUrls", &A::ShortenUrls, nullptr, 1},
    {u"TinyUrlPreview", &A::TinyUrlPreview, nullptr, 0},
    {u"EnableStats", &A::EnableStats, nullptr, 1},
    {u"IgnoreUpdateSizeLimit", &A::IgnoreUpdateSizeLimit, nullptr, 0},
    {u"WarnOverLimit", &A::WarnOverLimit, nullptr, 1},
    {u"UseHttps", &A::UseHttps, nullptr, 0},
    {u"FetchFriendTimeline", &A::FetchFriendTimeline, nullptr, 1},
    {u"FetchReplies", &A::FetchReplies, nullptr, 1},
    {u"FetchDirectMessages", &A::FetchDirectMessages, nullptr, 1},
    {u"SaveSentMessages", &A::SaveSentMessages, nullptr, 0},
    {u"SentMessageFolderId", &A::SentMessageFolderId, u"", 0},
    {u"SentMessageFolderStoreId", &A::SentMessageFolderStoreId, u"", 0},
    {u"RequestMessageCount", &A::RequestMessageCount, nullptr, 100},
    {u"ApiUrlPrefix", &A::ApiUrlPrefix, u"", 0},
    {u"ApiHost", &A::ApiHost, u"", 0},
    {u"PrefPicService", &A::PrefPicService, u"", 0},
    {u"ShowExpandedPostWindow", &A::ShowExpandedPostWindow, nullptr, 0},
};
}  // namespace

std::span<const SettingEntry<CTwitterAccount>> CTwitterAccount::Catalogue() { return kCatalogue; }

CTwitterAccount::CTwitterAccount(HKEY root, std::u16string keyPath) : CRegSettings(root, std::move(keyPath)) {
  ExchangeValues(nullptr, false, true);
}

CTwitterAccount::CTwitterAccount()
    : CTwitterAccount(HKEY_CURRENT_USER, FormatKeyPath(kAccountKeyFormat, kCompanyWord, kProductWord)) {}

LONG CTwitterAccount::ExchangeValues(HKEY key, bool save, bool defaultsOnly) {
  return ExchangeCatalogue(*this, key, save, defaultsOnly, [&](RegExchange& x) {
    // The saved searches come last, through the account's own key; defaults
    // leave the list as it is.
    if (!defaultsOnly && !x.stopped()) x.SetStatus(save ? Searches.Write(key) : Searches.Read(key));
  });
}

std::u16string CTwitterAccount::GetPassword() const {
  std::u16string stored;
  {
    auto guard = Lock();
    stored = Password;
  }
  return UnprotectPassword(stored);
}

bool CTwitterAccount::SetPassword(std::u16string_view password) {
  std::u16string protectedText = ProtectPassword(password);
  // A password that could not be protected must not erase the stored one.
  if (!password.empty() && protectedText.empty()) return false;
  auto guard = Lock();
  Password = std::move(protectedText);
  return true;
}
