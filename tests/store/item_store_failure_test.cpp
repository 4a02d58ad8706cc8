// The failure paths of CreateTweetItem, against a small object model whose
// calls fail where a test asks: each step's log line, its result, and what
// is (or is not) written.
#include <gtest/gtest.h>

#include <log4cpp/Priority.hh>

#include "platform/com/com_object.h"
#include "settings/test_hooks.h"
#include "store/item_store.h"
#include "tests/store/test_tweets.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_profile.h"

namespace {

using store_testing::MakeTweet;

// Where the fake object model fails, and what reached it.
struct Script {
  bool noFolder = false;         // neither the chosen folder nor the Inbox
  bool noSubfolders = false;     // Folders gives nothing
  HRESULT itemsAdd = S_OK;       // Items.Add fails with this
  bool notAPost = false;         // Items.Add gives something that is no post
  HRESULT save = S_OK;           // Save fails with this
  HRESULT userProperties = S_OK; // UserProperties fails with this...
  bool noUserProperties = false; // ...or gives nothing
  bool propertyAddGivesNothing = false;

  int itemsAdded = 0;
  int saved = 0;
  std::u16string subject;
  std::u16string statusId;
};

class FakeUserProperty : public ComObject<UserProperty> {
 public:
  explicit FakeUserProperty(Script& s) : s_(s) {}
  HRESULT Invoke(DISPID, WORD, DISPPARAMS*, VARIANT*) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT get_Name(BSTR* name) override {
    *name = u"TwitterStatusId";
    return S_OK;
  }
  HRESULT get_Type(LONG* type) override {
    *type = olText;
    return S_OK;
  }
  HRESULT get_Value(VARIANT* value) override {
    *value = VariantText(s_.statusId);
    return S_OK;
  }
  HRESULT put_Value(const VARIANT& value) override { return VariantToText(value, &s_.statusId); }

 private:
  Script& s_;
};

class FakeUserProperties : public ComObject<UserProperties> {
 public:
  explicit FakeUserProperties(Script& s) : s_(s) {}
  HRESULT Invoke(DISPID, WORD, DISPPARAMS*, VARIANT*) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT get_Count(LONG* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT Item(const VARIANT&, UserProperty** property) override {
    *property = nullptr;
    return E_FAIL;
  }
  HRESULT Add(const BSTR&, LONG, const VARIANT&, const VARIANT&, UserProperty** property) override {
    *property = nullptr;
    if (s_.propertyAddGivesNothing) return S_OK;
    *property = MakeComObject<FakeUserProperty, UserProperty>(s_).Detach();
    return S_OK;
  }
  HRESULT Find(const BSTR&, const VARIANT&, UserProperty** property) override {
    *property = nullptr;
    return S_OK;
  }

 private:
  Script& s_;
};

class FakePost : public ComObject<_PostItem> {
 public:
  explicit FakePost(Script& s) : s_(s) {}
  HRESULT Invoke(DISPID, WORD, DISPPARAMS*, VARIANT*) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT get_Class(LONG* c) override {
    *c = olPost;
    return S_OK;
  }
  // No id: the MAPI stamping that follows a save is not part of these tests.
  HRESULT get_EntryID(BSTR* id) override {
    id->clear();
    return S_OK;
  }
  HRESULT get_MessageClass(BSTR* c) override {
    *c = u"IPM.Post";
    return S_OK;
  }
  HRESULT put_MessageClass(const BSTR&) override { return S_OK; }
  HRESULT get_Subject(BSTR* subject) override {
    *subject = s_.subject;
    return S_OK;
  }
  HRESULT put_Subject(const BSTR& subject) override {
    s_.subject = subject;
    return S_OK;
  }
  HRESULT get_HTMLBody(BSTR* html) override {
    html->clear();
    return S_OK;
  }
  HRESULT put_HTMLBody(const BSTR&) override { return S_OK; }
  HRESULT get_Body(BSTR* text) override {
    text->clear();
    return S_OK;
  }
  HRESULT get_Categories(BSTR* c) override {
    c->clear();
    return S_OK;
  }
  HRESULT put_Categories(const BSTR&) override { return S_OK; }
  HRESULT get_Importance(LONG* i) override {
    *i = olImportanceNormal;
    return S_OK;
  }
  HRESULT put_Importance(LONG) override { return S_OK; }
  HRESULT get_UnRead(VARIANT_BOOL* u) override {
    *u = VARIANT_TRUE;
    return S_OK;
  }
  HRESULT put_UnRead(VARIANT_BOOL) override { return S_OK; }
  HRESULT get_SenderName(BSTR* n) override {
    n->clear();
    return S_OK;
  }
  HRESULT get_SenderEmailAddress(BSTR* a) override {
    a->clear();
    return S_OK;
  }
  HRESULT get_SenderEmailType(BSTR* t) override {
    t->clear();
    return S_OK;
  }
  HRESULT get_UserProperties(UserProperties** properties) override {
    *properties = nullptr;
    if (FAILED(s_.userProperties)) return s_.userProperties;
    if (s_.noUserProperties) return S_OK;
    *properties = MakeComObject<FakeUserProperties, UserProperties>(s_).Detach();
    return S_OK;
  }
  HRESULT get_MAPIOBJECT(IUnknown** object) override {
    *object = nullptr;
    return E_NOTIMPL;
  }
  HRESULT Save() override {
    if (FAILED(s_.save)) return s_.save;
    ++s_.saved;
    return S_OK;
  }

 private:
  Script& s_;
};

// Something Items.Add may give that is not a post item.
class FakeOther : public ComObject<IDispatch> {
 public:
  HRESULT Invoke(DISPID, WORD, DISPPARAMS*, VARIANT*) override { return DISP_E_MEMBERNOTFOUND; }
};

class FakeItems : public ComObject<_Items> {
 public:
  explicit FakeItems(Script& s) : s_(s) {}
  HRESULT Invoke(DISPID, WORD, DISPPARAMS*, VARIANT*) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT get_Count(LONG* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT Item(const VARIANT&, IDispatch** item) override {
    *item = nullptr;
    return E_FAIL;
  }
  HRESULT Add(const VARIANT&, IDispatch** item) override {
    *item = nullptr;
    if (FAILED(s_.itemsAdd)) return s_.itemsAdd;
    ++s_.itemsAdded;
    if (s_.notAPost)
      *item = MakeComObject<FakeOther, IDispatch>().Detach();
    else
      *item = MakeComObject<FakePost, IDispatch>(s_).Detach();
    return S_OK;
  }

 private:
  Script& s_;
};

class FakeFolder : public ComObject<MAPIFolder> {
 public:
  explicit FakeFolder(Script& s) : s_(s) {}
  HRESULT Invoke(DISPID, WORD, DISPPARAMS*, VARIANT*) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT get_Folders(_Folders** folders) override {
    *folders = nullptr;
    return S_OK;  // only the per-sender failure asks for subfolders
  }
  HRESULT get_Items(_Items** items) override {
    *items = MakeComObject<FakeItems, _Items>(s_).Detach();
    return S_OK;
  }
  HRESULT get_Name(BSTR* name) override {
    *name = u"Inbox";
    return S_OK;
  }
  HRESULT get_EntryID(BSTR* id) override {
    *id = u"00";
    return S_OK;
  }
  HRESULT get_StoreID(BSTR* id) override {
    *id = u"00";
    return S_OK;
  }

 private:
  Script& s_;
};

class FakeNameSpace : public ComObject<_NameSpace> {
 public:
  explicit FakeNameSpace(Script& s) : s_(s) {}
  HRESULT Invoke(DISPID, WORD, DISPPARAMS*, VARIANT*) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT GetFolderFromID(const BSTR&, const VARIANT&, MAPIFolder** folder) override {
    *folder = nullptr;
    return E_FAIL;
  }
  HRESULT GetDefaultFolder(LONG, MAPIFolder** folder) override {
    *folder = nullptr;
    if (s_.noFolder) return S_OK;
    *folder = MakeComObject<FakeFolder, MAPIFolder>(s_).Detach();
    return S_OK;
  }
  HRESULT GetItemFromID(const BSTR&, const VARIANT&, IDispatch** item) override {
    *item = nullptr;
    return E_FAIL;
  }
  HRESULT PickFolder(MAPIFolder** folder) override {
    *folder = nullptr;
    return S_OK;
  }
  HRESULT get_MAPIOBJECT(IUnknown** object) override {
    *object = nullptr;
    return E_NOTIMPL;
  }

 private:
  Script& s_;
};

class FakeApplication : public ComObject<_Application> {
 public:
  explicit FakeApplication(Script& s) : s_(s) {}
  HRESULT Invoke(DISPID, WORD, DISPPARAMS*, VARIANT*) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT get_Session(_NameSpace** session) override {
    *session = MakeComObject<FakeNameSpace, _NameSpace>(s_).Detach();
    return S_OK;
  }
  HRESULT get_Version(BSTR* version) override {
    *version = u"12.0.0.0";
    return S_OK;
  }
  HRESULT ActiveExplorer(_Explorer** explorer) override {
    *explorer = nullptr;
    return S_OK;
  }
  HRESULT get_Explorers(_Explorers** explorers) override {
    *explorers = nullptr;
    return E_NOTIMPL;
  }
  HRESULT CreateItem(LONG, IDispatch** item) override {
    *item = nullptr;
    return E_NOTIMPL;
  }

 private:
  Script& s_;
};

class ItemStoreFailures : public ::testing::Test {
 protected:
  void SetUp() override { ReloadSettingsForTests(); }
  void TearDown() override { ReloadSettingsForTests(); }

  // Runs CreateTweetItem against the script; the twr log lines in *lines.
  HRESULT Create(Script& script, bool perSender = false) {
    ComPtr<_Application> app = MakeComObject<FakeApplication, _Application>(script);
    DeliveryTarget target;
    target.folderId = u"0011";  // does not resolve: the Inbox is asked for
    target.perSender = perSender;
    CTwitterAccount account;
    account.User = u"bob";
    log_.Clear();
    std::u16string entryId = u"stale";
    const HRESULT hr = CreateTweetItem(app.get(), target, MakeTweet(u"42", u"alice", "hi"), account, &entryId);
    EXPECT_TRUE(entryId.empty());
    return hr;
  }

  bool Logged(const std::string& line) { return log_.HasAt(log4cpp::Priority::ERROR, line); }

  store_testing::TimeEnvironment time_{"UTC"};
  testing_support::TempProfile profile_;
  testing_support::LogCapture log_{"twr"};
};

TEST_F(ItemStoreFailures, NoFolderOrSubfolderCollectionCreatesNothing) {
  Script noFolder;
  noFolder.noFolder = true;
  EXPECT_EQ(Create(noFolder), E_POINTER);
  EXPECT_TRUE(Logged("nom: gdf failed. NULL.")) << log_.Text();
  EXPECT_EQ(noFolder.itemsAdded, 0);

  Script noSubfolders;
  EXPECT_EQ(Create(noSubfolders, true), E_POINTER);
  const auto lines = log_.Lines();
  ASSERT_EQ(lines.size(), 2u) << log_.Text();
  EXPECT_EQ(lines[0], "gtffm: gdf failed. NULL.");
  EXPECT_EQ(lines[1], "nom: gdfm failed. 0x80004003");
  EXPECT_EQ(noSubfolders.itemsAdded, 0);
  EXPECT_EQ(noSubfolders.saved, 0);
}

TEST_F(ItemStoreFailures, ItemThatCannotBeMadeOrSavedIsReported) {
  Script addFails;
  addFails.itemsAdd = E_OUTOFMEMORY;
  EXPECT_EQ(Create(addFails), E_OUTOFMEMORY);
  EXPECT_TRUE(Logged("nom: ia failed. 0x8007000e")) << log_.Text();

  Script notAPost;
  notAPost.notAPost = true;
  EXPECT_EQ(Create(notAPost), E_POINTER);
  EXPECT_TRUE(Logged("nom: ci qi failed. NULL.")) << log_.Text();
  EXPECT_EQ(notAPost.saved, 0);

  Script saveFails;
  saveFails.save = STG_E_ACCESSDENIED;
  EXPECT_EQ(Create(saveFails), STG_E_ACCESSDENIED);
  EXPECT_TRUE(Logged("nom: olsv failed. 0x80030005")) << log_.Text();
  EXPECT_EQ(saveFails.saved, 0);
  // The item was filled before the save failed; no "stored" line follows.
  EXPECT_EQ(saveFails.subject, u"hi");
  EXPECT_FALSE(log_.Contains("nom: nm "));
}

TEST_F(ItemStoreFailures, StatusIdThatCannotBeSetStillSavesTheItem) {
  Script missing;
  missing.noUserProperties = true;
  EXPECT_EQ(Create(missing), S_OK);
  EXPECT_TRUE(Logged("stp: gup failed. NULL.")) << log_.Text();
  EXPECT_EQ(missing.saved, 1);
  EXPECT_TRUE(missing.statusId.empty());

  Script failing;
  failing.userProperties = E_FAIL;
  EXPECT_EQ(Create(failing), S_OK);
  EXPECT_TRUE(Logged("stp: gup failed. 0x80004005")) << log_.Text();
  EXPECT_EQ(failing.saved, 1);

  Script nothingAdded;
  nothingAdded.propertyAddGivesNothing = true;
  EXPECT_EQ(Create(nothingAdded), S_OK);
  EXPECT_TRUE(Logged("stp: upa 0x0")) << log_.Text();
  EXPECT_EQ(nothingAdded.saved, 1);
  EXPECT_TRUE(nothingAdded.statusId.empty());

  // And with nothing in the way the id is stored.
  Script fine;
  EXPECT_EQ(Create(fine), S_OK);
  EXPECT_EQ(fine.statusId, u"42");
  EXPECT_EQ(fine.saved, 1);
  EXPECT_TRUE(log_.Contains("nom: nm alice hi, 42")) << log_.Text();
}

}  // namespace
