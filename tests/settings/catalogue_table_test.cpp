// The registry names, kinds, defaults and order of every catalogue: stored
// values are found by these names, so a slip in one orphans what users have.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "settings/account.h"
#include "settings/options.h"

namespace {

struct Row {
  const char* name;
  char kind;  // 's' string, 'n' number, 'f' flag
  const char* def;
};

template <class T>
std::vector<std::string> Describe(const T& object) {
  std::vector<std::string> rows;
  for (const auto& e : T::Catalogue()) {
    std::string value;
    char kind;
    if (auto* s = std::get_if<std::u16string T::*>(&e.field)) {
      kind = 's';
      value = Utf16ToUtf8(object.**s);
    } else if (auto* n = std::get_if<std::int32_t T::*>(&e.field)) {
      kind = 'n';
      value = std::to_string(object.**n);
    } else {
      kind = 'f';
      value = object.*std::get<bool T::*>(e.field) ? "1" : "0";
    }
    rows.push_back(Utf16ToUtf8(e.name) + " " + kind + " " + value);
  }
  return rows;
}

std::vector<std::string> Expected(std::initializer_list<Row> rows) {
  std::vector<std::string> out;
  for (const Row& r : rows) out.push_back(std::string(r.name) + " " + r.kind + " " + r.def);
  return out;
}

TEST(CatalogueTable, OptionsInExchangeOrderWithTheirDefaults) {
  EXPECT_EQ(Describe(CPLOpts()),
            Expected({{"TRI", 'n', "0"},
                      {"TL", 'n', "0"},
                      {"TP", 'n', "0"},
                      {"TBMessageFieldWidth", 'n', "0"},
                      {"ExitWorkaround", 'f', "1"},
                      {"DisplayInputField", 'f', "0"},
                      {"DisplayPostButtons", 'f', "1"},
                      {"DisplayTicker", 'f', "1"},
                      {"TickerCharLimit", 'n', "0"},
                      {"HKNewTweet", 'n', "0"},
                      {"ShowFullSenderName", 'f', "0"}}));
  EXPECT_EQ(CPLOpts().KeyPath(), u"Software\\Nevlora.com\\Wrenvia\\Options");
}

TEST(CatalogueTable, AccountAndSearchesInExchangeOrderWithTheirDefaults) {
  EXPECT_EQ(Describe(CTwitterAccount()),
            Expected({{"User", 's', ""},
                      {"Password", 's', ""},
                      {"FriendsSince", 's', ""},
                      {"FriendsLastMsgId", 's', ""},
                      {"RepliesSince", 's', ""},
                      {"RepliesLastMsgId", 's', ""},
                      {"DirectSince", 's', ""},
                      {"DirectLastMsgId", 's', ""},
                      {"PollFrequency", 'n', "5"},
                      {"PollForNewTweets", 'f', "1"},
                      {"NewMessageFolderId", 's', ""},
                      {"NewMessageFolderStoreId", 's', ""},
                      {"PerSenderFolders", 'f', "0"},
                      {"NewMessageSound", 's', ""},
                      {"NewMessageCategories", 's', ""},
                      {"ShortenUrls", 'f', "1"},
                      {"TinyUrlPreview", 'f', "0"},
                      {"EnableStats", 'f', "1"},
                      {"IgnoreUpdateSizeLimit", 'f', "0"},
                      {"WarnOverLimit", 'f', "1"},
                      {"UseHttps", 'f', "0"},
                      {"FetchFriendTimeline", 'f', "1"},
                      {"FetchReplies", 'f', "1"},
                      {"FetchDirectMessages", 'f', "1"},
                      {"SaveSentMessages", 'f', "0"},
                      {"SentMessageFolderId", 's', ""},
                      {"SentMessageFolderStoreId", 's', ""},
                      {"RequestMessageCount", 'n', "100"},
                      {"ApiUrlPrefix", 's', ""},
                      {"ApiHost", 's', ""},
                      {"PrefPicService", 's', ""},
                      {"ShowExpandedPostWindow", 'f', "0"}}));
  EXPECT_EQ(CTwitterAccount().KeyPath(), u"Software\\Nevlora.com\\Wrenvia\\Options\\Account");
  EXPECT_EQ(Describe(CSearchOpts()), Expected({{"SearchString", 's', ""},
                                               {"NewMessageFolderId", 's', ""},
                                               {"NewMessageFolderStoreId", 's', ""},
                                               {"LastMsgId", 's', ""},
                                               {"SLID", 'f', "1"}}));
}

}  // namespace
