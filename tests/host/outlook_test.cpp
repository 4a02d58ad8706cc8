#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "addin/import/mapi.h"
#include "addin/import/outlook.h"
#include "host/mailstore/message.h"
#include "host/outlook/application.h"
#include "host/outlook/entry_ids.h"
#include "tests/support/temp_profile.h"

namespace {

using testing_support::TempProfile;

class HostOutlook : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_EQ(CreateOutlookApplication("", nullptr, app_.put(), &error), S_OK) << error;
    ASSERT_EQ(app_->get_Session(session_.put()), S_OK);
    ASSERT_EQ(session_->GetDefaultFolder(olFolderInbox, inbox_.put()), S_OK);
  }

  ComPtr<_PostItem> NewPost(MAPIFolder* folder) {
    ComPtr<_Items> items;
    EXPECT_EQ(folder->get_Items(items.put()), S_OK);
    ComPtr<IDispatch> created;
    EXPECT_EQ(items->Add(VariantText(u"IPM.Post"), created.put()), S_OK);
    ComPtr<_PostItem> post;
    EXPECT_EQ(created.As(&post), S_OK);
    return post;
  }

  ComPtr<IMAPISession> MapiSession() {
    ComPtr<IUnknown> object;
    EXPECT_EQ(session_->get_MAPIOBJECT(object.put()), S_OK);
    ComPtr<IMAPISession> mapi;
    EXPECT_EQ(object.As(&mapi), S_OK);
    return mapi;
  }

  std::vector<std::string> MessageFiles(const std::string& folder = "") {
    std::vector<std::string> files;
    for (const char* sub : {"/new", "/cur"})
      for (const auto& e : std::filesystem::directory_iterator(profile_.maildir() + folder + sub))
        files.push_back(e.path());
    return files;
  }

  TempProfile profile_;
  ComPtr<_Application> app_;
  ComPtr<_NameSpace> session_;
  ComPtr<MAPIFolder> inbox_;
};

TEST_F(HostOutlook, FoldersAreFoundByIdAndNameAndStaleIdsFail) {
  BSTR name, entryId, storeId;
  ASSERT_EQ(inbox_->get_Name(&name), S_OK);
  EXPECT_EQ(name, u"Inbox");
  ASSERT_EQ(inbox_->get_EntryID(&entryId), S_OK);
  ASSERT_EQ(inbox_->get_StoreID(&storeId), S_OK);
  EXPECT_FALSE(entryId.empty());
  EXPECT_EQ(entryId.find_first_not_of(u"0123456789ABCDEF"), std::u16string::npos);

  ComPtr<_Folders> folders;
  ASSERT_EQ(inbox_->get_Folders(folders.put()), S_OK);
  ComPtr<MAPIFolder> tweets;
  ASSERT_EQ(folders->Add(u"Tw\u00eeets", VariantOmitted(), tweets.put()), S_OK);
  EXPECT_TRUE(std::filesystem::exists(profile_.maildir() + "/.Tw&AO4-ets/cur"));
  ComPtr<MAPIFolder> again;
  EXPECT_EQ(folders->Add(u"TW\u00ceETS", VariantOmitted(), again.put()), MAPI_E_COLLISION);
  ASSERT_EQ(folders->Item(VariantText(u"tw\u00eeets"), again.put()), S_OK);
  BSTR tweetsId, againId;
  tweets->get_EntryID(&tweetsId);
  again->get_EntryID(&againId);
  EXPECT_EQ(tweetsId, againId);
  EXPECT_EQ(folders->Item(VariantText(u"nobody"), again.put()), MAPI_E_NOT_FOUND);
  EXPECT_FALSE(again);

  ComPtr<MAPIFolder> byId;
  ASSERT_EQ(session_->GetFolderFromID(tweetsId, VariantText(storeId), byId.put()), S_OK);
  byId->get_Name(&name);
  EXPECT_EQ(name, u"Tw\u00eeets");
  ASSERT_EQ(session_->GetFolderFromID(tweetsId, VariantOmitted(), byId.put()), S_OK);
  ASSERT_EQ(session_->GetFolderFromID(tweetsId, VariantText(u""), byId.put()), S_OK);

  // Damaged, foreign and stale ids.
  EXPECT_EQ(session_->GetFolderFromID(u"XYZ", VariantOmitted(), byId.put()), MAPI_E_INVALID_ENTRYID);
  EXPECT_EQ(session_->GetFolderFromID(tweetsId.substr(2), VariantOmitted(), byId.put()), MAPI_E_INVALID_ENTRYID);
  EXPECT_EQ(session_->GetFolderFromID(tweetsId, VariantText(u"00"), byId.put()), MAPI_E_INVALID_ENTRYID);
  const std::u16string otherStore = outlook_host::EntryIdText(outlook_host::EntryKind::Store, "/elsewhere");
  EXPECT_EQ(session_->GetFolderFromID(tweetsId, VariantText(otherStore), byId.put()), MAPI_E_NOT_FOUND);
  const std::u16string outside = outlook_host::EntryIdText(outlook_host::EntryKind::Folder, "../..");
  EXPECT_EQ(session_->GetFolderFromID(outside, VariantOmitted(), byId.put()), MAPI_E_NOT_FOUND);
  std::filesystem::remove_all(profile_.maildir() + "/.Tw&AO4-ets");
  EXPECT_EQ(session_->GetFolderFromID(tweetsId, VariantOmitted(), byId.put()), MAPI_E_NOT_FOUND);
  EXPECT_FALSE(byId);

  ComPtr<MAPIFolder> sent;
  ASSERT_EQ(session_->GetDefaultFolder(olFolderSentMail, sent.put()), S_OK);
  sent->get_Name(&name);
  EXPECT_EQ(name, u"Sent Items");
  ComPtr<MAPIFolder> picked;
  EXPECT_EQ(session_->PickFolder(picked.put()), S_OK);
  EXPECT_FALSE(picked);  // no picker: cancelled
}

TEST_F(HostOutlook, AnItemIsWrittenOnSaveAndItsMapiViewIsTheSameMessage) {
  ComPtr<_PostItem> post = NewPost(inbox_.get());
  ASSERT_TRUE(post);
  post->put_Subject(u"hello");
  post->put_HTMLBody(u"<b>hi</b>");
  post->put_Categories(u"Twitter");
  post->put_Importance(olImportanceHigh);
  EXPECT_EQ(post->put_Importance(7), E_INVALIDARG);

  // Before the first save the MAPI view changes the item but writes nothing.
  ComPtr<IUnknown> object;
  ASSERT_EQ(post->get_MAPIOBJECT(object.put()), S_OK);
  ComPtr<IMessage> message;
  ASSERT_EQ(object.As(&message), S_OK);
  SPropValue flags{};
  flags.ulPropTag = PR_MESSAGE_FLAGS;
  flags.Value.l = MSGFLAG_UNSENT | MSGFLAG_READ;
  ASSERT_EQ(HrSetOneProp(message.get(), &flags), S_OK);
  ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  EXPECT_TRUE(MessageFiles().empty());
  VARIANT_BOOL unread;
  post->get_UnRead(&unread);
  EXPECT_EQ(unread, VARIANT_FALSE);

  ComPtr<UserProperties> properties;
  ASSERT_EQ(post->get_UserProperties(properties.put()), S_OK);
  ComPtr<UserProperty> property;
  ASSERT_EQ(properties->Add(u"TwitterStatusId", olText, VariantOmitted(), VariantOmitted(), property.put()), S_OK);
  ASSERT_EQ(property->put_Value(VariantText(u"6346541")), S_OK);
  EXPECT_EQ(properties->Add(u"Count", 3, VariantOmitted(), VariantOmitted(), property.put()), E_INVALIDARG);

  ASSERT_EQ(post->Save(), S_OK);
  const auto files = MessageFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(files[0].find("/cur/"), std::string::npos);
  EXPECT_NE(files[0].find(":2,S"), std::string::npos);

  BSTR entryId;
  ASSERT_EQ(post->get_EntryID(&entryId), S_OK);
  ComPtr<IDispatch> reopened;
  ASSERT_EQ(session_->GetItemFromID(entryId, VariantOmitted(), reopened.put()), S_OK);
  ComPtr<_PostItem> reopenedPost;
  ASSERT_EQ(reopened.As(&reopenedPost), S_OK);
  BSTR text;
  reopenedPost->get_Subject(&text);
  EXPECT_EQ(text, u"hello");
  reopenedPost->get_HTMLBody(&text);
  EXPECT_EQ(text, u"<b>hi</b>");
  reopenedPost->get_Categories(&text);
  EXPECT_EQ(text, u"Twitter");
  LONG importance = 0;
  reopenedPost->get_Importance(&importance);
  EXPECT_EQ(importance, olImportanceHigh);
  ComPtr<UserProperties> found;
  ASSERT_EQ(reopenedPost->get_UserProperties(found.put()), S_OK);
  ComPtr<UserProperty> id;
  ASSERT_EQ(found->Find(u"twitterstatusid", VariantOmitted(), id.put()), S_OK);
  ASSERT_TRUE(id);
  VARIANT value;
  id->get_Value(&value);
  EXPECT_EQ(value.bstrVal, u"6346541");
  ASSERT_EQ(found->Find(u"Missing", VariantOmitted(), id.put()), S_OK);
  EXPECT_FALSE(id);

  // The item reached through IDispatch gives the same MAPI object kind.
  VARIANT mapiObject;
  ASSERT_EQ(reopened->Invoke(kDispidMapiObject, DISPATCH_PROPERTYGET, nullptr, &mapiObject), S_OK);
  ComPtr<IMessage> viaDispatch;
  EXPECT_EQ(mapiObject.punkVal.As(&viaDispatch), S_OK);
  EXPECT_EQ(reopened->Invoke(1234, DISPATCH_PROPERTYGET, nullptr, &mapiObject), DISP_E_MEMBERNOTFOUND);

  EXPECT_EQ(session_->GetItemFromID(u"00", VariantOmitted(), reopened.put()), MAPI_E_INVALID_ENTRYID);
  std::filesystem::remove(files[0]);
  EXPECT_EQ(session_->GetItemFromID(entryId, VariantOmitted(), reopened.put()), MAPI_E_NOT_FOUND);
  EXPECT_EQ(post->Save(), MAPI_E_OBJECT_DELETED);
}

TEST_F(HostOutlook, MapiStampsTimesAndSenderOntoTheStoredMessage) {
  ComPtr<_PostItem> post = NewPost(inbox_.get());
  post->put_Subject(u"tweet");
  ASSERT_EQ(post->Save(), S_OK);
  BSTR entryHex, storeHex;
  post->get_EntryID(&entryHex);
  inbox_->get_StoreID(&storeHex);
  std::vector<BYTE> entry, store;
  ASSERT_TRUE(outlook_host::HexToBytes(entryHex, &entry));
  ASSERT_TRUE(outlook_host::HexToBytes(storeHex, &store));

  ComPtr<IMAPISession> mapi = MapiSession();
  ComPtr<IMsgStore> msgStore;
  EXPECT_EQ(mapi->OpenMsgStore(0, static_cast<ULONG>(store.size()), store.data(), nullptr, 0x11, msgStore.put()), S_OK);
  ULONG type = 0;
  ComPtr<IUnknown> opened;
  ASSERT_EQ(mapi->OpenEntry(static_cast<ULONG>(entry.size()), entry.data(), nullptr, 0x18, &type, opened.put()), S_OK);
  EXPECT_EQ(type, MAPI_MESSAGE);
  ComPtr<IMessage> message;
  ASSERT_EQ(opened.As(&message), S_OK);

  ComPtr<IAddrBook> book;
  ASSERT_EQ(mapi->OpenAddressBook(0, nullptr, AB_NO_DIALOG, book.put()), S_OK);
  ULONG oneOffSize = 0;
  LPENTRYID oneOff = nullptr;
  ASSERT_EQ(book->CreateOneOff(u"Alice A.", u"TWITTER", u"alice", MAPI_UNICODE | MAPI_SEND_NO_RICH_INFO, &oneOffSize,
                               &oneOff),
            S_OK);
  const FILETIME created = outlook_host::UnixSecondsToFileTime(1260194602);
  std::u16string name = u"Alice A.", address = u"alice", addressType = u"TWITTER", cls = u"IPM.Post";
  auto text = [](ULONG tag, std::u16string& s) {
    SPropValue p{};
    p.ulPropTag = tag;
    p.Value.lpszW = s.data();
    return p;
  };
  std::vector<SPropValue> props;
  for (ULONG tag : {PR_CREATION_TIME, PR_LAST_MODIFICATION_TIME, PR_CLIENT_SUBMIT_TIME, PR_MESSAGE_DELIVERY_TIME}) {
    SPropValue p{};
    p.ulPropTag = tag;
    p.Value.ft = created;
    props.push_back(p);
  }
  props.push_back(text(PR_MESSAGE_CLASS_W, cls));
  props.push_back(text(PR_SENDER_NAME_W, name));
  props.push_back(text(PR_SENDER_EMAIL_ADDRESS_W, address));
  props.push_back(text(PR_SENDER_ADDRTYPE_W, addressType));
  SPropValue senderEntry{};
  senderEntry.ulPropTag = PR_SENDER_ENTRYID;
  senderEntry.Value.bin = SBinary{oneOffSize, oneOff};
  props.push_back(senderEntry);
  props.push_back(text(PR_SENT_REPRESENTING_NAME_W, name));
  props.push_back(text(PR_SENT_REPRESENTING_EMAIL_ADDRESS_W, address));
  props.push_back(text(PR_SENT_REPRESENTING_ADDRTYPE_W, addressType));
  senderEntry.ulPropTag = PR_SENT_REPRESENTING_ENTRYID;
  props.push_back(senderEntry);
  SPropValue wrongType{};
  wrongType.ulPropTag = PROP_TAG(PT_LONG, PROP_ID(PR_SUBJECT_W));
  props.push_back(wrongType);
  SPropProblemArray* problems = nullptr;
  ASSERT_EQ(message->SetProps(static_cast<ULONG>(props.size()), props.data(), &problems), S_OK);
  ASSERT_TRUE(problems);
  ASSERT_EQ(problems->cProblem, 1u);
  EXPECT_EQ(problems->aProblem[0].ulIndex, props.size() - 1);
  MAPIFreeBuffer(problems);
  ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  MAPIFreeBuffer(oneOff);

  const auto files = MessageFiles();
  ASSERT_EQ(files.size(), 1u);
  struct stat st;
  ASSERT_EQ(::stat(files[0].c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1260194602);
  auto parsed = mailstore::Message::Parse(testing_support::ReadFile(files[0]));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->Date(), 1260194602);
  EXPECT_EQ(parsed->From(), (mailstore::Mailbox{u"Alice A.", u"alice", u"TWITTER"}));
  const std::string raw = testing_support::ReadFile(files[0]);
  EXPECT_NE(raw.find("From: \"Alice A.\" <alice@twitter.invalid>"), std::string::npos) << raw;
  EXPECT_EQ(raw.find("Sender:"), std::string::npos);

  // Read back through a fresh MAPI object.
  ComPtr<IUnknown> fresh;
  ASSERT_EQ(mapi->OpenEntry(static_cast<ULONG>(entry.size()), entry.data(), &IMessage::kIid, 0, &type, fresh.put()),
            S_OK);
  ComPtr<IMessage> freshMessage;
  ASSERT_EQ(fresh.As(&freshMessage), S_OK);
  SPropValue* value = nullptr;
  ASSERT_EQ(HrGetOneProp(freshMessage.get(), PR_SENT_REPRESENTING_EMAIL_ADDRESS_W, &value), S_OK);
  EXPECT_EQ(std::u16string(value->Value.lpszW), u"alice");
  MAPIFreeBuffer(value);
  ASSERT_EQ(HrGetOneProp(freshMessage.get(), PR_MESSAGE_DELIVERY_TIME, &value), S_OK);
  EXPECT_EQ(outlook_host::FileTimeToUnixSeconds(value->Value.ft), 1260194602);
  MAPIFreeBuffer(value);
  ASSERT_EQ(HrGetOneProp(freshMessage.get(), PR_SENDER_ENTRYID, &value), S_OK);
  mailstore::Mailbox fromEntry;
  ASSERT_TRUE(outlook_host::ParseOneOffEntryId(value->Value.bin.lpb, value->Value.bin.cb, &fromEntry));
  EXPECT_EQ(fromEntry, (mailstore::Mailbox{u"Alice A.", u"alice", u"TWITTER"}));
  MAPIFreeBuffer(value);
  EXPECT_EQ(HrGetOneProp(freshMessage.get(), PR_ATTACH_NUM, &value), MAPI_E_NOT_FOUND);
  EXPECT_EQ(value, nullptr);
  ULONG count = 0;
  SPropValue* all = nullptr;
  EXPECT_EQ(freshMessage->GetProps(nullptr, 0, &count, &all), S_OK);
  EXPECT_GT(count, 10u);
  MAPIFreeBuffer(all);

  BSTR senderType;
  ComPtr<IDispatch> item;
  ASSERT_EQ(session_->GetItemFromID(entryHex, VariantOmitted(), item.put()), S_OK);
  ComPtr<_PostItem> stamped;
  ASSERT_EQ(item.As(&stamped), S_OK);
  stamped->get_SenderEmailType(&senderType);
  EXPECT_EQ(senderType, u"TWITTER");
}

TEST_F(HostOutlook, AttachmentsOfAStoredMailAreListedAndOpened) {
  const std::string mail =
      "From: bob@example.org\nSubject: pictures\nMIME-Version: 1.0\n"
      "Content-Type: multipart/mixed; boundary=XX\n\n--XX\nContent-Type: text/plain\n\nsee attached\n"
      "--XX\nContent-Type: image/jpeg\nContent-Disposition: attachment; filename=\"cat.jpg\"\n"
      "Content-Transfer-Encoding: base64\n\naGVsbG8=\n"
      "--XX\nContent-Type: application/msword; name=\"notes.doc\"\n\nword\n--XX--\n";
  testing_support::WriteFile(profile_.maildir() + "/cur/1260194602.M1P1Q1.test:2,S", mail);
  ComPtr<_Items> items;
  ASSERT_EQ(inbox_->get_Items(items.put()), S_OK);
  LONG count = 0;
  items->get_Count(&count);
  ASSERT_EQ(count, 1);
  ComPtr<IDispatch> item;
  ASSERT_EQ(items->Item(VariantLong(1), item.put()), S_OK);
  ComPtr<_MailItem> mailItem;
  ASSERT_EQ(item.As(&mailItem), S_OK);
  BSTR body;
  mailItem->get_Body(&body);
  EXPECT_EQ(body, u"see attached");
  EXPECT_EQ(items->Item(VariantLong(2), item.put()), DISP_E_BADINDEX);

  ComPtr<IUnknown> object;
  ASSERT_EQ(mailItem->get_MAPIOBJECT(object.put()), S_OK);
  ComPtr<IMessage> message;
  ASSERT_EQ(object.As(&message), S_OK);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(message->GetAttachmentTable(MAPI_DEFERRED_ERRORS, table.put()), S_OK);
  const ULONG columns[] = {PR_ATTACH_NUM, PR_ATTACH_METHOD, PR_ATTACH_SIZE, PR_ATTACH_LONG_FILENAME_W,
                           PR_ATTACH_FILENAME_W};
  const SPropTagArray tags{5, columns};
  SRowSet* rows = nullptr;
  ASSERT_EQ(HrQueryAllRows(table.get(), &tags, nullptr, nullptr, 0, &rows), S_OK);
  ASSERT_EQ(rows->cRows, 2u);
  EXPECT_EQ(rows->aRow[0].lpProps[0].Value.l, 0);
  EXPECT_EQ(rows->aRow[0].lpProps[1].Value.l, ATTACH_BY_VALUE);
  EXPECT_EQ(rows->aRow[0].lpProps[2].Value.l, 5);
  EXPECT_EQ(std::u16string(rows->aRow[0].lpProps[3].Value.lpszW), u"cat.jpg");
  EXPECT_EQ(std::u16string(rows->aRow[1].lpProps[4].Value.lpszW), u"notes.doc");
  FreeProws(rows);

  ComPtr<IAttach> attach;
  ASSERT_EQ(message->OpenAttach(0, nullptr, MAPI_BEST_ACCESS | MAPI_DEFERRED_ERRORS, attach.put()), S_OK);
  ComPtr<IUnknown> streamObject;
  ASSERT_EQ(attach->OpenProperty(PR_ATTACH_DATA_BIN, &IStream::kIid, 0, 0, streamObject.put()), S_OK);
  ComPtr<IStream> stream;
  ASSERT_EQ(streamObject.As(&stream), S_OK);
  char data[16];
  ULONG read = 0;
  stream->Read(data, sizeof data, &read);
  EXPECT_EQ(std::string(data, read), "hello");
  EXPECT_EQ(message->OpenAttach(2, nullptr, 0, attach.put()), MAPI_E_NOT_FOUND);
}

TEST(HostMapi, MapiMemoryFreesWhatHangsOffABuffer) {
  void* root = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(16, &root), S_OK);
  for (int i = 0; i < 5; ++i) {
    void* more = nullptr;
    ASSERT_EQ(MAPIAllocateMore(32, root, &more), S_OK);
    std::memset(more, 0xAB, 32);
  }
  EXPECT_EQ(MAPIFreeBuffer(root), 0u);  // the leak checker sees the rest
  EXPECT_EQ(MAPIFreeBuffer(nullptr), 0u);
  void* more = nullptr;
  EXPECT_EQ(MAPIAllocateMore(8, nullptr, &more), MAPI_E_INVALID_PARAMETER);
}

TEST(HostMapi, LogonReachesTheProfileStore) {
  TempProfile profile;
  ComPtr<IMAPISession> session;
  ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, MAPI_EXTENDED | MAPI_ALLOW_OTHERS, session.put()), S_OK);
  ASSERT_TRUE(session);
  ComPtr<IAddrBook> book;
  EXPECT_EQ(session->OpenAddressBook(0, &IMessage::kIid, 0, book.put()), MAPI_E_INTERFACE_NOT_SUPPORTED);
}

TEST_F(HostOutlook, HtmlWithoutItsBytesIsRefusedAndTheBodyKept) {
  ComPtr<_PostItem> post = NewPost(inbox_.get());
  post->put_HTMLBody(u"<p>kept</p>");
  ComPtr<IUnknown> object;
  ASSERT_EQ(post->get_MAPIOBJECT(object.put()), S_OK);
  ComPtr<IMessage> message;
  ASSERT_EQ(object.As(&message), S_OK);

  SPropValue html{};
  html.ulPropTag = PR_HTML;
  html.Value.bin = SBinary{5, nullptr};
  SPropProblemArray* problems = nullptr;
  ASSERT_EQ(message->SetProps(1, &html, &problems), S_OK);
  ASSERT_TRUE(problems);
  ASSERT_EQ(problems->cProblem, 1u);
  EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_INVALID_PARAMETER);
  MAPIFreeBuffer(problems);
  BSTR body;
  ASSERT_EQ(post->get_HTMLBody(&body), S_OK);
  EXPECT_EQ(body, u"<p>kept</p>");

  // No bytes and no count is an empty body.
  html.Value.bin = SBinary{0, nullptr};
  problems = nullptr;
  ASSERT_EQ(message->SetProps(1, &html, &problems), S_OK);
  EXPECT_TRUE(!problems || problems->cProblem == 0);
  MAPIFreeBuffer(problems);
  ASSERT_EQ(post->get_HTMLBody(&body), S_OK);
  EXPECT_EQ(body, u"");
}

}  // namespace
