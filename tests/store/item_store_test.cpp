#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <thread>

#include "host/mailstore/message.h"
#include "host/outlook/application.h"
#include "platform/com/apartment.h"
#include "platform/text.h"
#include "settings/options.h"
#include "settings/test_hooks.h"
#include "store/body.h"
#include "store/item_store.h"
#include "store/outlook_access.h"
#include "tests/host/maildir_reader.h"
#include "tests/store/test_tweets.h"
#include "tests/support/temp_profile.h"

namespace {

using store_testing::kCreated;
using store_testing::MakeTweet;
using store_testing::TimeEnvironment;
using testing_support::TempProfile;

std::u16string Numbered(char16_t prefix, int n) {
  std::u16string id(1, prefix);
  id += ToDecimalW(n);
  return id;
}

class ItemStore : public ::testing::Test {
 protected:
  ItemStore() : time_("UTC") {}

  void SetUp() override {
    ReloadSettingsForTests();
    std::string error;
    ASSERT_EQ(CreateOutlookApplication("", nullptr, app_.put(), &error), S_OK) << error;
    SetOutlookApplication(app_.get());
    ReleaseMapiSession();
    store_ = outlook_host::OpenSharedStore(profile_.maildir(), &error);
    ASSERT_TRUE(store_);
    account_.User = u"bob";
  }

  void TearDown() override {
    SetOutlookApplication(nullptr);
    ReleaseMapiSession();
    auto& options = GetOptions();
    auto guard = options.Lock();
    options.ShowFullSenderName = false;
  }

  // The message files of a folder ("" the Inbox, else ".Name").
  std::vector<std::string> Files(const std::string& folder = "") {
    std::vector<std::string> files;
    for (const char* sub : {"/new", "/cur"})
      for (const auto& e :
           std::filesystem::directory_iterator(profile_.maildir() + (folder.empty() ? "" : "/" + folder) + sub))
        files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
  }

  std::unique_ptr<mailstore::Message> OnlyMessage(const std::string& folder = "") {
    const auto files = Files(folder);
    EXPECT_EQ(files.size(), 1u) << folder;
    if (files.size() != 1) return nullptr;
    return mailstore::Message::Parse(testing_support::ReadFile(files[0]));
  }

  ComPtr<MAPIFolder> AddFolder(const std::u16string& name) {
    ComPtr<_NameSpace> session;
    ComPtr<MAPIFolder> inbox;
    ComPtr<_Folders> folders;
    ComPtr<MAPIFolder> folder;
    app_->get_Session(session.put());
    session->GetDefaultFolder(olFolderInbox, inbox.put());
    inbox->get_Folders(folders.put());
    folders->Add(name, VariantOmitted(), folder.put());
    return folder;
  }

  HRESULT Deliver(const TwitterStatus& tweet, DeliveryTarget target = {}, std::u16string* entryId = nullptr) {
    std::u16string ignored;
    return CreateTweetItem(nullptr, target, tweet, account_, entryId ? entryId : &ignored);
  }

  TimeEnvironment time_;
  TempProfile profile_;
  ComPtr<_Application> app_;
  std::shared_ptr<mailstore::MailStore> store_;
  CTwitterAccount account_;
};

TEST_F(ItemStore, TweetBecomesAStampedPostInTheInboxInTwoWrites) {
  TwitterStatus tweet = MakeTweet(u"6346541", u"alice", "caf\xc3\xa9 &lt;3 http://tinyurl.com/x1");
  tweet.text = u"caf\u00e9 &lt;3 http://tinyurl.com/x1";
  tweet.user.statusesCount = u"3";
  const std::uint64_t writesBefore = store_->DurableWrites();
  std::u16string entryId;
  ASSERT_EQ(Deliver(tweet, {}, &entryId), S_OK);
  EXPECT_FALSE(entryId.empty());
  EXPECT_EQ(store_->DurableWrites() - writesBefore, 2u);

  const auto files = Files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(files[0].find("/new/"), std::string::npos);  // unread
  struct stat st;
  ASSERT_EQ(::stat(files[0].c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, kCreated);
  const std::string raw = testing_support::ReadFile(files[0]);
  EXPECT_NE(raw.find("From: alice <alice@twitter.invalid>\n"), std::string::npos) << raw;
  EXPECT_NE(raw.find("Date: Mon, 07 Dec 2009 14:03:22 +0000\n"), std::string::npos);
  EXPECT_NE(raw.find("X-Wrenvia-From-Type: TWITTER\n"), std::string::npos);
  EXPECT_NE(raw.find("X-Wrenvia-Message-Class: IPM.Post\n"), std::string::npos);
  EXPECT_NE(raw.find("X-Wrenvia-Property-TwitterStatusId: 6346541\n"), std::string::npos);
  EXPECT_NE(raw.find("X-Wrenvia-Message-Flags: 8\n"), std::string::npos);
  EXPECT_EQ(raw.find("Importance:"), std::string::npos);
  EXPECT_EQ(raw.find("Keywords:"), std::string::npos);

  auto message = mailstore::Message::Parse(raw);
  ASSERT_TRUE(message);
  EXPECT_EQ(message->Subject(), u"caf\u00e9 <3 http://tinyurl.com/x1");
  EXPECT_EQ(message->HtmlBody(), RenderMessageBody(tweet));
  EXPECT_EQ(message->Date(), kCreated);
  EXPECT_EQ(message->CreationTime(), kCreated);

  // Read back as the toolbar does.
  ComPtr<_NameSpace> session;
  app_->get_Session(session.put());
  ComPtr<IDispatch> item;
  ASSERT_EQ(session->GetItemFromID(entryId, VariantOmitted(), item.put()), S_OK);
  TwitterStatus read;
  ASSERT_EQ(ReadTweetItem(item.get(), &read), S_OK);
  EXPECT_EQ(read.id, u"6346541");
  EXPECT_EQ(read.user.screenName, u"alice");
}

TEST_F(ItemStore, AccountOptionsShapeTheItem) {
  {
    auto& options = GetOptions();
    auto guard = options.Lock();
    options.ShowFullSenderName = true;
  }
  account_.NewMessageCategories = u"Twitter, Fun";
  account_.TinyUrlPreview = true;
  account_.ApiHost = u"api.example.org";
  TwitterStatus tweet = MakeTweet(u"1", u"alice", "see http://tinyurl.com/x1");
  tweet.html = u"see <a href='http://tinyurl.com/x1'>http://tinyurl.com/x1</a>";
  tweet.user.name = u"Alice \u00c5berg";
  ASSERT_EQ(Deliver(tweet), S_OK);
  auto message = OnlyMessage();
  ASSERT_TRUE(message);
  EXPECT_EQ(message->Categories(), u"Twitter, Fun");
  EXPECT_EQ(message->From(), (mailstore::Mailbox{u"Alice \u00c5berg", u"alice", u"TWITTER"}));
  const std::u16string html = message->HtmlBody();
  EXPECT_NE(html.find(u"'http://preview.tinyurl.com/x1'"), std::u16string::npos);
  EXPECT_NE(html.find(u"href='http://api.example.org/alice'"), std::u16string::npos);

  // Search results keep the web site's host.
  std::filesystem::remove(Files()[0]);
  tweet.kind = TweetKindSearch;
  tweet.user.name.clear();
  ASSERT_EQ(Deliver(tweet), S_OK);
  message = OnlyMessage();
  ASSERT_TRUE(message);
  EXPECT_NE(message->HtmlBody().find(u"href='http://twitter.com/alice'"), std::u16string::npos);
  EXPECT_EQ(message->From().name, u"alice");  // no full name given
}

TEST_F(ItemStore, ChosenStaleAndPerSenderFolders) {
  ComPtr<MAPIFolder> tweets = AddFolder(u"Tweets");
  ASSERT_TRUE(tweets);
  DeliveryTarget chosen;
  tweets->get_EntryID(&chosen.folderId);
  tweets->get_StoreID(&chosen.storeId);
  ASSERT_EQ(Deliver(MakeTweet(u"1", u"alice", "one"), chosen), S_OK);
  EXPECT_EQ(Files(".Tweets").size(), 1u);

  // Per sender: the first tweet makes the folder, later ones (any case)
  // find it.
  chosen.perSender = true;
  ASSERT_EQ(Deliver(MakeTweet(u"2", u"Carol", "two"), chosen), S_OK);
  ASSERT_EQ(Deliver(MakeTweet(u"3", u"carol", "three"), chosen), S_OK);
  EXPECT_EQ(Files(".Tweets.Carol").size(), 2u);
  EXPECT_FALSE(std::filesystem::exists(profile_.maildir() + "/.Tweets.carol"));
  EXPECT_EQ(Files(".Tweets").size(), 1u);

  // A folder that no longer exists, or an id that is no id, means the Inbox.
  std::filesystem::remove_all(profile_.maildir() + "/.Tweets.Carol");
  std::filesystem::remove_all(profile_.maildir() + "/.Tweets");
  chosen.perSender = false;
  ASSERT_EQ(Deliver(MakeTweet(u"4", u"alice", "four"), chosen), S_OK);
  DeliveryTarget garbage;
  garbage.folderId = u"not hex";
  garbage.storeId = u"ZZ";
  ASSERT_EQ(Deliver(MakeTweet(u"5", u"alice", "five"), garbage), S_OK);
  EXPECT_EQ(Files().size(), 2u);
}

TEST_F(ItemStore, ImportanceMarksTweetsThatConcernTheUser) {
  struct Case {
    std::int32_t kind;
    std::string text;
    std::u16string recipient;
    bool high;
  };
  const Case cases[] = {
      {TweetKindDirect, "hi", u"BOB", true},          // received, any case
      {TweetKindDirect, "hi", u"", true},             // recipient unknown
      {TweetKindDirect, "hi @bob", u"carol", false},  // sent by the user to somebody else
      {TweetKindFriends, "hey @Bob!", u"", true},
      {TweetKindReply, "hey @bobby", u"", true},      // a longer name matches too
      {TweetKindFriends, "bob without at", u"", false},
      {TweetKindSearch, "@BOB", u"", true},
  };
  for (const Case& c : cases) {
    TwitterStatus tweet = MakeTweet(u"1", u"alice", c.text, c.kind);
    tweet.recipientScreenName = c.recipient;
    EXPECT_EQ(TweetConcernsUser(tweet, u"bob"), c.high) << c.text;
  }
  TwitterStatus mention = MakeTweet(u"1", u"alice", "hey @BOB");
  ASSERT_EQ(Deliver(mention), S_OK);
  auto message = OnlyMessage();
  ASSERT_TRUE(message);
  EXPECT_EQ(message->Importance(), 2);
  EXPECT_NE(message->Serialize().find("X-Priority: 1 (Highest)"), std::string::npos);
}

TEST_F(ItemStore, SentTweetsAreStoredReadOnlyWhenAskedAndWithAFolder) {
  TwitterStatus posted = MakeTweet(u"77", u"bob", "my own tweet");
  posted.postedByUser = true;
  DeliveryTarget target;
  std::u16string entryId;
  EXPECT_EQ(SaveSentTweet(account_, target, posted, &entryId), S_OK);  // not asked for
  EXPECT_TRUE(Files(".Sent Items").empty());
  account_.SaveSentMessages = true;
  EXPECT_EQ(SaveSentTweet(account_, target, posted, &entryId), E_FAIL);  // no folder chosen
  EXPECT_TRUE(Files(".Sent Items").empty());
  EXPECT_TRUE(Files().empty());

  ComPtr<_NameSpace> session;
  ComPtr<MAPIFolder> sent;
  app_->get_Session(session.put());
  session->GetDefaultFolder(olFolderSentMail, sent.put());
  sent->get_EntryID(&account_.SentMessageFolderId);
  sent->get_StoreID(&account_.SentMessageFolderStoreId);
  target.perSender = true;
  ASSERT_EQ(SaveSentTweet(account_, target, posted, &entryId), S_OK);
  const auto files = Files(".Sent Items");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(files[0].find("/cur/"), std::string::npos);
  EXPECT_NE(files[0].find(":2,S"), std::string::npos);  // stored as read

  posted.text.clear();
  EXPECT_EQ(SaveSentTweet(account_, target, posted, &entryId), E_FAIL);
}

TEST_F(ItemStore, FailuresAreReturnedAndNothingIsHalfWritten) {
  SetOutlookApplication(nullptr);
  DeliveryTarget target;
  std::u16string entryId;
  EXPECT_EQ(CreateTweetItem(nullptr, target, MakeTweet(u"1", u"alice", "x"), account_, &entryId), E_POINTER);
  EXPECT_TRUE(entryId.empty());
  // The caller's own reference still works without the process-wide one.
  EXPECT_EQ(CreateTweetItem(app_.get(), target, MakeTweet(u"1", u"alice", "x"), account_, &entryId), S_OK);
  EXPECT_FALSE(entryId.empty());

  // A tweet that never had a date keeps the time of its saving.
  std::filesystem::remove(Files()[0]);
  TwitterStatus undated = MakeTweet(u"2", u"alice", "y");
  undated.createdUtc = SYSTEMTIME{};
  DeliveryTarget second;
  ASSERT_EQ(CreateTweetItem(app_.get(), second, undated, account_, &entryId), S_OK);
  auto message = OnlyMessage();
  ASSERT_TRUE(message);
  ASSERT_TRUE(message->Date());
  EXPECT_GT(*message->Date(), kCreated);
  EXPECT_EQ(message->From().address, u"alice");

  // A mail that is no tweet reads as none.
  ComPtr<IDispatch> mail;
  ASSERT_EQ(app_->CreateItem(olMailItem, mail.put()), S_OK);
  TwitterStatus read;
  EXPECT_EQ(ReadTweetItem(mail.get(), &read), S_OK);
  EXPECT_TRUE(read.id.empty());
  EXPECT_TRUE(read.user.screenName.empty());
  EXPECT_EQ(ReadTweetItem(nullptr, &read), E_POINTER);
}

TEST_F(ItemStore, MapiSessionIsTheApplicationsAndIsKept) {
  ComPtr<IMAPISession> first, second;
  ASSERT_EQ(GetMapiSession(first.put()), S_OK);
  ASSERT_EQ(GetMapiSession(second.put()), S_OK);
  EXPECT_EQ(first.get(), second.get());
  EXPECT_EQ(OutlookMajorVersion(), 12);
  ReleaseMapiSession();
  ASSERT_EQ(GetMapiSession(second.put()), S_OK);
  EXPECT_NE(first.get(), second.get());
}

TEST_F(ItemStore, ThreadsDeliveringIntoOneFolderLoseNothing) {
  // The worker reaches the application through a marshalled reference, the
  // UI thread through its own, as the runner does.
  IStream* stream = nullptr;
  ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(_Application::kIid, app_.get(), &stream), S_OK);
  constexpr int kEach = 15;
  std::atomic<int> failures{0};
  std::thread worker([&] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ComPtr<_Application> mine;
    if (FAILED(CoGetInterfaceAndReleaseStream(stream, _Application::kIid, mine.put_void()))) ++failures;
    for (int i = 0; i < kEach; ++i) {
      DeliveryTarget target;
      std::u16string id;
      if (FAILED(CreateTweetItem(mine.get(), target, MakeTweet(Numbered(u'w', i), u"worker", "from the worker"),
                                 account_, &id)))
        ++failures;
    }
    CoUninitialize();
  });
  for (int i = 0; i < kEach; ++i) {
    DeliveryTarget target;
    std::u16string id;
    if (FAILED(CreateTweetItem(nullptr, target, MakeTweet(Numbered(u'u', i), u"ui", "from the UI"), account_, &id)))
      ++failures;
  }
  worker.join();
  EXPECT_EQ(failures, 0);
  const auto files = Files();
  ASSERT_EQ(files.size(), 2u * kEach);
  std::set<std::u16string> ids;
  for (const auto& file : files) {
    auto message = mailstore::Message::Parse(testing_support::ReadFile(file));
    ASSERT_TRUE(message) << file;
    for (const auto& [name, value] : message->UserProperties()) ids.insert(value);
    EXPECT_EQ(message->Date(), kCreated);
  }
  EXPECT_EQ(ids.size(), 2u * kEach);
}

TEST_F(ItemStore, AMailProgramReadsTheTweetsSubjectSenderAndDate) {
  if (!testing_support::HavePython()) GTEST_SKIP() << "python3 is not installed";
  {
    auto& options = GetOptions();
    auto guard = options.Lock();
    options.ShowFullSenderName = true;
  }
  TwitterStatus tweet = MakeTweet(u"42", u"alice", "Gr\xc3\xbc\xc3\x9f" "e &amp; \"quotes\"");
  tweet.text = u"Gr\u00fc\u00dfe &amp; \"quotes\"";
  tweet.user.name = u"Alice \u00c5berg, \"the\" birder";
  ASSERT_EQ(Deliver(tweet), S_OK);
  const auto listing = testing_support::ReadMaildirWithPython(profile_.maildir());
  ASSERT_TRUE(listing.ran);
  ASSERT_EQ(listing.messages.size(), 1u);
  const auto& m = listing.messages[0];
  EXPECT_EQ(m.at("subject"), "Gr\xc3\xbc\xc3\x9f" "e & \"quotes\"");
  EXPECT_EQ(m.at("from-name"), "Alice \xc3\x85" "berg, \"the\" birder");
  EXPECT_EQ(m.at("from-address"), "alice@twitter.invalid");
  EXPECT_EQ(m.at("date"), std::to_string(kCreated));
  EXPECT_EQ(m.at("flags"), "");
  EXPECT_EQ(Utf8ToUtf16(m.at("html")), RenderMessageBody(tweet));
}

}  // namespace
