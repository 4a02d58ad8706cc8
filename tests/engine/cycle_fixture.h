// A profile, a Maildir host and the stand-in service, wired as the add-in
// sees them, for tests of the polling cycles.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "engine/new_tweet_feed.h"
#include "engine/seen_tweets.h"
#include "host/outlook/application.h"
#include "host/outlook/host_objects.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "settings/account.h"
#include "settings/test_hooks.h"
#include "store/item_store.h"
#include "store/outlook_access.h"
#include "tests/support/temp_profile.h"
#include "tools/standin/standin.h"

namespace engine_test {

inline standin::SeedUser User(std::int64_t id, const std::string& name) {
  standin::SeedUser u;
  u.id = id;
  u.screenName = name;
  u.name = name + " Example";
  u.statusesCount = 10;
  u.profileImage = "/profile_images/" + std::to_string(id) + "/" + name + ".png";
  return u;
}

inline standin::SeedStatus Post(std::int64_t id, const std::string& user, const std::string& text) {
  standin::SeedStatus s;
  s.id = id;
  s.user = user;
  s.text = text;
  // Recent, so the statistics keep them.
  s.createdAt = static_cast<std::int64_t>(std::time(nullptr)) - 7200 + id;
  return s;
}

// A small world: the account "wren" follows alice and bob.
inline standin::SeedData SmallSeed() {
  standin::SeedData d;
  d.accountUser = "wren";
  d.accountPassword = "secret";
  d.users = {User(1, "wren"), User(2, "alice"), User(3, "bob"), User(4, "carol")};
  d.friends = {"alice", "bob"};
  d.statuses = {Post(101, "alice", "first from alice #photo"), Post(102, "bob", "hello @wren, see this"),
                Post(103, "alice", "more #photo fun")};
  standin::SeedDirect m;
  m.id = 50;
  m.sender = "carol";
  m.recipient = "wren";
  m.text = "psst";
  m.createdAt = 1243857000;
  d.directs = {m};
  d.searchHits = {Post(201, "carol", "carol likes #photo too")};
  return d;
}

class CycleTest : public ::testing::Test {
 protected:
  explicit CycleTest(standin::SeedData seed = SmallSeed()) : service_(std::move(seed)) {}

  void SetUp() override {
    ASSERT_TRUE(service_.Start());
    connectTo_ = "search.twitter.com:80:" + service_.HostPort();
    ::setenv("WRENVIA_CONNECT_TO", connectTo_.c_str(), 1);
    ReloadSettingsForTests();
    SeenTweets::Instance().ClearForTests();
    NewTweetFeed::Instance().ClearForTests();
    std::string error;
    ASSERT_EQ(CreateOutlookApplication("", nullptr, app_.put(), &error), S_OK) << error;
    SetOutlookApplication(app_.get());
    ReleaseMapiSession();
    store_ = outlook_host::OpenSharedStore(profile_.maildir(), &error);
    ASSERT_TRUE(store_);
    CTwitterAccount& account = GetAccount();
    account.SetPassword(u"secret");
    auto guard = account.Lock();
    account.User = u"wren";
    account.ApiHost = Utf8ToUtf16(service_.HostPort());
    account.Save();
    previousBox_ = platform::SetMessageBoxHandler(
        [this](const std::u16string& text, const std::u16string& caption, UINT type) {
          boxes_.push_back({Utf16ToUtf8(caption), Utf16ToUtf8(text), type});
          return IDOK;
        });
  }

  void TearDown() override {
    platform::SetMessageBoxHandler(previousBox_);
    SetOutlookApplication(nullptr);
    ReleaseMapiSession();
    ::unsetenv("WRENVIA_CONNECT_TO");
    service_.Stop();
  }

  // A folder below the Inbox by name, created when missing; its ids.
  std::pair<std::u16string, std::u16string> Folder(const std::u16string& name) {
    mailstore::MailStore::CreateResult created;
    auto folder = store_->FindChild(*store_->Inbox(), name);
    if (!folder) folder = store_->CreateChild(*store_->Inbox(), name, &created);
    ComPtr<MAPIFolder> f = outlook_host::MakeFolder(std::make_shared<outlook_host::HostContext>(
                                                        outlook_host::HostContext{store_, nullptr}),
                                                    folder);
    BSTR entryId, storeId;
    f->get_EntryID(&entryId);
    f->get_StoreID(&storeId);
    return {entryId, storeId};
  }

  // Message count of a folder path below the Inbox ("" the Inbox).
  std::size_t Count(const std::vector<std::u16string>& path = {}) {
    auto folder = store_->Inbox();
    for (const auto& name : path) {
      folder = store_->FindChild(*folder, name);
      if (!folder) return 0;
    }
    return folder->List().size();
  }

  std::size_t RequestsTo(const std::string& path) {
    std::size_t n = 0;
    for (const auto& r : service_.Requests())
      if (r.path == path) ++n;
    return n;
  }

  struct Box {
    std::string caption, text;
    UINT type;
  };

  testing_support::TempProfile profile_;
  standin::StandIn service_;
  std::string connectTo_;
  ComPtr<_Application> app_;
  std::shared_ptr<mailstore::MailStore> store_;
  std::vector<Box> boxes_;
  platform::MessageBoxHandler previousBox_;
};

}  // namespace engine_test
