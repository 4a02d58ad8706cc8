#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <cstdio>
#include <filesystem>

#include <set>
#include <thread>

#include "host/mailstore/folder_names.h"
#include "host/mailstore/maildir.h"
#include "host/mailstore/message.h"
#include "tests/host/maildir_reader.h"
#include "tests/support/temp_profile.h"

namespace {

using mailstore::DecodeFolderName;
using mailstore::EncodeFolderName;
using mailstore::MailStore;
using testing_support::FileExists;
using testing_support::TempProfile;
using testing_support::WriteFile;

std::vector<std::string> Files(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FolderNames, WrittenTheWayDovecotWritesThem) {
  EXPECT_EQ(EncodeFolderName(u"Sent Items"), "Sent Items");
  EXPECT_EQ(EncodeFolderName(u"Tom & Jerry"), "Tom &- Jerry");
  EXPECT_EQ(EncodeFolderName(u"Entw\u00fcrfe"), "Entw&APw-rfe");
  EXPECT_EQ(EncodeFolderName(u"\u65e5\u672c\u8a9e"), "&ZeVnLIqe-");
  EXPECT_EQ(EncodeFolderName(u"a.b/c\\d"), "a\\2eb\\2fc\\5cd");
  EXPECT_EQ(EncodeFolderName(u"~home~"), "\\7ehome~");
  EXPECT_EQ(EncodeFolderName(u".."), "\\2e\\2e");

  for (std::u16string name : {u"Sent Items", u"Tom & Jerry", u"Entw\u00fcrfe", u"a.b/c\\d", u"~x", u"\U0001F426 bird",
                              u"&&", u"tab\there", u"\\2e"})
    EXPECT_EQ(DecodeFolderName(EncodeFolderName(name)), name);
  // Names another tool wrote unencoded are shown as they stand.
  EXPECT_EQ(DecodeFolderName("Entw\xc3\xbcrfe"), u"Entw\u00fcrfe");
  EXPECT_EQ(DecodeFolderName("a&b"), u"a&b");
  EXPECT_EQ(DecodeFolderName("trail\\"), u"trail\\");
}

TEST(MailStore, CreatesTheTreeWithItsDefaultFolders) {
  TempProfile profile;
  std::string error;
  auto store = MailStore::Open(profile.maildir(), &error);
  ASSERT_TRUE(store) << error;
  for (const char* sub : {"tmp", "new", "cur", ".Outbox/cur", ".Sent Items/new", ".Deleted Items/tmp", ".Drafts/cur"})
    EXPECT_TRUE(FileExists(profile.maildir() + "/" + sub)) << sub;
  EXPECT_TRUE(FileExists(profile.maildir() + "/.Drafts/maildirfolder"));
  EXPECT_EQ(store->Inbox()->Name(), u"Inbox");
  EXPECT_EQ(store->Default(mailstore::DefaultFolder::SentItems)->dirName(), ".Sent Items");

  // Opening again finds what is there; a relative root is refused.
  ASSERT_TRUE(MailStore::Open(profile.maildir(), &error));
  EXPECT_FALSE(MailStore::Open("relative/Maildir", &error));
  EXPECT_NE(error.find("absolute"), std::string::npos);
  testing_support::WriteFile(profile.root() + "/afile", "x");
  EXPECT_FALSE(MailStore::Open(profile.root() + "/afile/Maildir", &error));
}

TEST(MailStore, SubfoldersAreFoundIgnoringCaseAndNeverEscapeTheTree) {
  TempProfile profile;
  auto store = MailStore::Open(profile.maildir(), nullptr);
  ASSERT_TRUE(store);
  auto inbox = store->Inbox();
  MailStore::CreateResult result;
  auto alice = store->CreateChild(*inbox, u"Alice", &result);
  ASSERT_TRUE(alice);
  EXPECT_EQ(result, MailStore::CreateResult::Created);
  EXPECT_FALSE(store->CreateChild(*inbox, u"ALICE", &result));
  EXPECT_EQ(result, MailStore::CreateResult::Exists);
  EXPECT_FALSE(store->CreateChild(*inbox, u"", &result));
  EXPECT_EQ(result, MailStore::CreateResult::Invalid);
  auto child = store->CreateChild(*alice, u"v1.0/beta", &result);
  ASSERT_TRUE(child);
  EXPECT_EQ(child->dirName(), ".Alice.v1\\2e0\\2fbeta");
  EXPECT_EQ(child->Name(), u"v1.0/beta");

  EXPECT_EQ(store->FindChild(*inbox, u"aLiCe")->dirName(), ".Alice");
  EXPECT_EQ(store->FindChild(*alice, u"V1.0/BETA"), child);
  EXPECT_FALSE(store->FindChild(*inbox, u"v1.0/beta"));  // not a direct child
  ASSERT_EQ(store->Children(*alice).size(), 1u);
  EXPECT_EQ(store->Children(*inbox).size(), 5u);  // four defaults and Alice

  for (const char* bad : {"..", ".", "../x", ".Alice/../..", ".Alice/cur", ".Missing", "Alice", ".Alice."})
    EXPECT_FALSE(store->FolderByDirName(bad)) << bad;
  EXPECT_TRUE(store->FolderByDirName(".Alice"));
  EXPECT_TRUE(store->FolderByDirName("")->isInbox());
}

TEST(MailStore, DeliveriesAreDurableAndCarryFlagsAndTime) {
  TempProfile profile;
  auto store = MailStore::Open(profile.maildir(), nullptr);
  ASSERT_TRUE(store);
  auto inbox = store->Inbox();
  const std::uint64_t before = store->DurableWrites();
  std::string unreadId, readId;
  ASSERT_TRUE(inbox->Deliver("Subject: one\n\nbody\n", false, 1260194602, &unreadId));
  ASSERT_TRUE(inbox->Deliver("Subject: two\n\nbody\n", true, 1260194603, &readId));
  EXPECT_NE(unreadId, readId);
  EXPECT_EQ(store->DurableWrites(), before + 2);
  EXPECT_EQ(Files(profile.maildir() + "/new"), std::vector<std::string>{unreadId});
  EXPECT_EQ(Files(profile.maildir() + "/cur"), std::vector<std::string>{readId + ":2,S"});
  EXPECT_TRUE(Files(profile.maildir() + "/tmp").empty());
  struct stat st;
  ASSERT_EQ(::stat((profile.maildir() + "/new/" + unreadId).c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1260194602);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // A rewrite that marks it read moves it to cur/ and leaves one file.
  ASSERT_TRUE(inbox->Rewrite(unreadId, "Subject: one again\n\nbody\n", true, 1260194700));
  EXPECT_TRUE(Files(profile.maildir() + "/new").empty());
  EXPECT_EQ(Files(profile.maildir() + "/cur").size(), 2u);
  mailstore::StoredMessage stored;
  ASSERT_TRUE(inbox->Read(unreadId, &stored));
  EXPECT_TRUE(stored.read);
  EXPECT_EQ(stored.deliveryTime, 1260194700);
  EXPECT_EQ(stored.bytes, "Subject: one again\n\nbody\n");
  // Flags another program set are kept.
  ASSERT_EQ(std::rename((profile.maildir() + "/cur/" + readId + ":2,S").c_str(),
                        (profile.maildir() + "/cur/" + readId + ":2,FS").c_str()),
            0);
  ASSERT_TRUE(inbox->Rewrite(readId, "Subject: two\n\n", false, 1));
  EXPECT_TRUE(FileExists(profile.maildir() + "/cur/" + readId + ":2,F"));
  EXPECT_EQ(inbox->List(), (std::vector<std::string>{unreadId, readId}));

  EXPECT_FALSE(inbox->Rewrite("1.M1P1Q1.nothere", "x", false, 1));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(inbox->Rewrite("../../evil", "x", false, 1));
  EXPECT_FALSE(inbox->Read("../new/" + unreadId, &stored));
}

TEST(MailStore, TwoThreadsDeliveringIntoOneFolderLoseNothing) {
  TempProfile profile;
  auto store = MailStore::Open(profile.maildir(), nullptr);
  ASSERT_TRUE(store);
  constexpr int kEach = 150;
  std::vector<std::string> ids[2];
  auto deliver = [&](int t) {
    auto folder = store->Inbox();
    for (int i = 0; i < kEach; ++i) {
      std::string id;
      if (folder->Deliver("Subject: " + std::to_string(t) + "-" + std::to_string(i) + "\n\n", i % 2, 1000 + i, &id))
        ids[t].push_back(id);
    }
  };
  std::thread a(deliver, 0), b(deliver, 1);
  a.join();
  b.join();
  ASSERT_EQ(ids[0].size() + ids[1].size(), 2u * kEach);
  std::set<std::string> all(ids[0].begin(), ids[0].end());
  all.insert(ids[1].begin(), ids[1].end());
  EXPECT_EQ(all.size(), 2u * kEach);
  EXPECT_EQ(store->Inbox()->List().size(), 2u * kEach);
  EXPECT_TRUE(Files(profile.maildir() + "/tmp").empty());
}

TEST(MailMessage, HeadersRoundTripThroughTheFile) {
  mailstore::Message message(u"IPM.Post");
  message.SetSubject(u"caf\u00e9 <b> & more");
  message.SetHtmlBody(u"<p>h\u00e9llo</p>");
  message.SetCategories(u"Twitter, Work");
  message.SetImportance(2);
  message.SetUserProperty(u"TwitterStatusId", u"6346541");
  message.SetUserProperty(u"twitterstatusid", u"6346542");  // same property
  message.SetUserProperty(u"Odd name: \u00e9", u"v");
  message.SetFrom({u"Zo\u00eb \"Q\" O'Brien", u"odd name", u"TWITTER"});
  message.SetDate(1260194602);
  message.SetExtraFlags(9);
  const std::string bytes = message.Serialize();
  EXPECT_NE(bytes.find("From: "), std::string::npos);
  EXPECT_NE(bytes.find("\"odd name\"@twitter.invalid"), std::string::npos);
  EXPECT_NE(bytes.find("X-Priority: 1 (Highest)"), std::string::npos);
  EXPECT_NE(bytes.find("Importance: high"), std::string::npos);
  EXPECT_NE(bytes.find("Content-Type: text/html; charset=utf-8"), std::string::npos);
  EXPECT_EQ(bytes.find("Sender:"), std::string::npos);

  auto parsed = mailstore::Message::Parse(bytes);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->Subject(), u"caf\u00e9 <b> & more");
  EXPECT_EQ(parsed->HtmlBody(), u"<p>h\u00e9llo</p>");
  EXPECT_EQ(parsed->TextBody(), u"h\u00e9llo");
  EXPECT_EQ(parsed->Categories(), u"Twitter, Work");
  EXPECT_EQ(parsed->Importance(), 2);
  EXPECT_EQ(parsed->MessageClass(), u"IPM.Post");
  const auto properties = parsed->UserProperties();
  ASSERT_EQ(properties.size(), 2u);
  EXPECT_EQ(properties[0].second, u"6346542");
  EXPECT_EQ(properties[1].first, u"Odd name: \u00e9");
  EXPECT_EQ(parsed->From(), (mailstore::Mailbox{u"Zo\u00eb \"Q\" O'Brien", u"odd name", u"TWITTER"}));
  EXPECT_EQ(parsed->Sender(), parsed->From());
  EXPECT_EQ(parsed->Date(), 1260194602);
  EXPECT_EQ(parsed->ExtraFlags(), 8u);

  // A sender that differs from the author gets its own header.
  parsed->SetSender({u"Robot", u"robot@example.org", u"SMTP"});
  auto again = mailstore::Message::Parse(parsed->Serialize());
  EXPECT_EQ(again->Sender().address, u"robot@example.org");
  EXPECT_EQ(again->From().address, u"odd name");
  again->SetImportance(1);
  EXPECT_EQ(again->Serialize().find("Importance"), std::string::npos);

  // Long lines, "=", trailing blanks and line breaks come back exactly.
  const std::u16string awkward = std::u16string(200, u'x') + u" a=b \n\tc \n\n" + std::u16string(90, u'\u00e9') + u" ";
  again->SetHtmlBody(awkward);
  const std::string encoded = again->Serialize();
  EXPECT_EQ(mailstore::Message::Parse(encoded)->HtmlBody(), awkward);
  for (std::size_t pos = 0, end; pos < encoded.size(); pos = end + 1) {
    end = encoded.find('\n', pos);
    if (end == std::string::npos) end = encoded.size();
    EXPECT_LE(end - pos, 78u);
  }

  EXPECT_FALSE(mailstore::Message::Parse(""));
}

TEST(MailMessage, AHeaderCutOffByTheEndOfTheFileKeepsItsOwnLine) {
  // Headers set on such a file must not run on into its last line.
  auto cut = mailstore::Message::Parse("Subject: cut");
  ASSERT_TRUE(cut);
  cut->SetCategories(u"Twitter");
  cut->SetUserProperty(u"TwitterStatusId", u"6346541");
  auto reread = mailstore::Message::Parse(cut->Serialize());
  ASSERT_TRUE(reread);
  EXPECT_EQ(reread->Subject(), u"cut");
  EXPECT_EQ(reread->Categories(), u"Twitter");
  ASSERT_EQ(reread->UserProperties().size(), 1u);
  EXPECT_EQ(reread->UserProperties()[0].second, u"6346541");

  // Nor the body given to a part whose headers end the file.
  auto part = mailstore::Message::Parse(
      "Subject: cut\nContent-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/html\nX-Note: last");
  ASSERT_TRUE(part);
  part->SetHtmlBody(u"<p>hello</p>");
  auto withBody = mailstore::Message::Parse(part->Serialize());
  ASSERT_TRUE(withBody);
  // The file has no closing boundary: the last line break is the part's own.
  EXPECT_EQ(withBody->HtmlBody(), u"<p>hello</p>\n");
}


TEST(MailMessage, AHeaderLineWithoutANameDoesNotEndTheHeadersOnceItComesFirst) {
  // Replacing From moves the nameless line to the top of the header block,
  // where it would end the headers and the file would no longer read back.
  auto message = mailstore::Message::Parse("From: Dave <dave@example.com>\n: v\nSubject: kept\n\nbody\n");
  ASSERT_TRUE(message);
  message->SetFrom(message->From());
  message->SetUserProperty(u"TwitterStatusId", u"6346541");
  auto reread = mailstore::Message::Parse(message->Serialize());
  ASSERT_TRUE(reread);
  EXPECT_EQ(reread->Subject(), u"kept");
  EXPECT_EQ(reread->From().address, u"dave@example.com");
  ASSERT_EQ(reread->UserProperties().size(), 1u);
  EXPECT_EQ(reread->Serialize().find("\n: v"), std::string::npos);
}
TEST(MailMessage, AUserPropertyIsReplacedHoweverTheFileSpellsItsName) {
  auto message = mailstore::Message::Parse(
      "Subject: p\nx-wrenvia-property-Twitter%53tatusId: 1\nX-Wrenvia-Property-Caf%c3%a9: au lait\n\nbody\n");
  ASSERT_TRUE(message);
  message->SetUserProperty(u"TwitterStatusId", u"2");
  message->SetUserProperty(u"CAF\u00c9", u"noir");
  auto reread = mailstore::Message::Parse(message->Serialize());
  ASSERT_TRUE(reread);
  const std::vector<std::pair<std::u16string, std::u16string>> expected = {{u"TwitterStatusId", u"2"},
                                                                           {u"CAF\u00c9", u"noir"}};
  EXPECT_EQ(reread->UserProperties(), expected);
}

TEST(MailMessage, NewBodyTextGetsAContentTypeOfItsOwn) {
  // The old parameters described the old text; this name length also made
  // GMime loop without end when it wrote them again.
  std::string accents;
  for (int i = 0; i < 12; ++i) accents += "%C3%A9";
  auto message = mailstore::Message::Parse(
      "Subject: odd\nContent-Type: text/html; charset=iso-8859-1; format=flowed; " + std::string(71, 'x') +
      "*=utf-8''" + accents + "\n\n<p>caf\xe9</p>\n");
  ASSERT_TRUE(message);
  EXPECT_EQ(message->HtmlBody(), u"<p>caf\u00e9</p>\n");
  message->SetHtmlBody(u"<p>n\u00e9w</p>");
  const std::string bytes = message->Serialize();
  EXPECT_NE(bytes.find("Content-Type: text/html; charset=utf-8\n"), std::string::npos) << bytes;
  EXPECT_EQ(bytes.find("flowed"), std::string::npos);
  auto reread = mailstore::Message::Parse(bytes);
  ASSERT_TRUE(reread);
  EXPECT_EQ(reread->HtmlBody(), u"<p>n\u00e9w</p>");
  EXPECT_EQ(reread->Subject(), u"odd");
}

TEST(MailStore, PythonsMailboxModuleReadsTheTree) {
  if (!testing_support::HavePython()) GTEST_SKIP() << "python3 is not installed";
  TempProfile profile;
  auto store = MailStore::Open(profile.maildir(), nullptr);
  ASSERT_TRUE(store);
  MailStore::CreateResult result;
  auto folder = store->CreateChild(*store->Inbox(), u"Entw\u00fcrfe", &result);
  ASSERT_TRUE(folder);
  mailstore::Message message(u"IPM.Note");
  message.SetSubject(u"Gr\u00fc\u00dfe");
  message.SetFrom({u"Alice", u"alice", u"TWITTER"});
  message.SetDate(1260194602);
  message.SetHtmlBody(u"<b>hi</b>");
  std::string id;
  ASSERT_TRUE(folder->Deliver(message.Serialize(), true, 1260194602, &id));

  const auto listing = testing_support::ReadMaildirWithPython(profile.maildir(), "Entw&APw-rfe");
  ASSERT_TRUE(listing.ran);
  EXPECT_EQ(listing.folders, (std::vector<std::string>{"Deleted Items", "Drafts", "Entw&APw-rfe", "Outbox",
                                                        "Sent Items"}));
  ASSERT_EQ(listing.messages.size(), 1u);
  const auto& m = listing.messages[0];
  EXPECT_EQ(m.at("key"), id);
  EXPECT_EQ(m.at("subject"), "Gr\xc3\xbc\xc3\x9f" "e");
  EXPECT_EQ(m.at("from-name"), "Alice");
  EXPECT_EQ(m.at("from-address"), "alice@twitter.invalid");
  EXPECT_EQ(m.at("date"), "1260194602");
  EXPECT_EQ(m.at("flags"), "S");
  EXPECT_EQ(m.at("html"), "<b>hi</b>");
}

TEST(MailMessage, ANewBodyKeepsWhatTheMessageHeld) {
  // A message that is nothing but an attachment gets its body beside it.
  auto attached = mailstore::Message::Parse(
      "Subject: a\nMIME-Version: 1.0\nContent-Type: application/pdf; name=\"a.pdf\"\n"
      "Content-Disposition: attachment; filename=\"a.pdf\"\nContent-Transfer-Encoding: base64\n\nJVBERi0=\n");
  ASSERT_TRUE(attached);
  attached->SetHtmlBody(u"<p>see attached</p>");
  auto reread = mailstore::Message::Parse(attached->Serialize());
  ASSERT_TRUE(reread);
  EXPECT_NE(reread->Serialize().find("multipart/mixed"), std::string::npos);
  EXPECT_EQ(reread->HtmlBody(), u"<p>see attached</p>");
  ASSERT_EQ(reread->Attachments().size(), 1u);
  EXPECT_EQ(reread->Attachments()[0].fileName, u"a.pdf");
  EXPECT_EQ(reread->Attachments()[0].data, "%PDF-");
  EXPECT_EQ(reread->Subject(), u"a");

  // Text over an HTML body, and HTML over a text body: both kept, as
  // alternatives with the plain text first.
  for (bool htmlFirst : {true, false}) {
    mailstore::Message message(u"IPM.Note");
    if (htmlFirst) {
      message.SetHtmlBody(u"<p>caf\u00e9</p>");
      message.SetTextBody(u"caf\u00e9");
    } else {
      message.SetTextBody(u"caf\u00e9");
      message.SetHtmlBody(u"<p>caf\u00e9</p>");
    }
    const std::string bytes = message.Serialize();
    EXPECT_NE(bytes.find("multipart/alternative"), std::string::npos) << bytes;
    EXPECT_LT(bytes.find("text/plain"), bytes.find("text/html")) << bytes;
    auto both = mailstore::Message::Parse(bytes);
    ASSERT_TRUE(both);
    EXPECT_EQ(both->HtmlBody(), u"<p>caf\u00e9</p>");
    EXPECT_EQ(both->TextBody(), u"caf\u00e9");
    // Setting one again replaces it in place.
    both->SetHtmlBody(u"<p>n\u00e9w</p>");
    const std::string again = both->Serialize();
    EXPECT_EQ(again.find("multipart/alternative"), again.rfind("multipart/alternative"));
    auto replaced = mailstore::Message::Parse(again);
    EXPECT_EQ(replaced->HtmlBody(), u"<p>n\u00e9w</p>");
    EXPECT_EQ(replaced->TextBody(), u"caf\u00e9");
  }

  // Mixed content led by an HTML body: the text joins it as its alternative.
  auto mixed = mailstore::Message::Parse(
      "Subject: m\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n"
      "Content-Type: text/html; charset=utf-8\n\n<p>hi</p>\n--b\nContent-Type: text/plain\n"
      "Content-Disposition: attachment; filename=\"notes.txt\"\n\nnotes\n--b--\n");
  ASSERT_TRUE(mixed);
  mixed->SetTextBody(u"hi");
  auto joined = mailstore::Message::Parse(mixed->Serialize());
  ASSERT_TRUE(joined);
  EXPECT_EQ(joined->HtmlBody(), u"<p>hi</p>");
  EXPECT_EQ(joined->TextBody(), u"hi");
  ASSERT_EQ(joined->Attachments().size(), 1u);
  EXPECT_EQ(joined->Attachments()[0].fileName, u"notes.txt");
  EXPECT_NE(joined->Serialize().find("multipart/alternative"), std::string::npos);
}

TEST(MailStore, TemporariesOfACrashedWriterGoAfterThirtySixHours) {
  TempProfile profile;
  ASSERT_TRUE(MailStore::Open(profile.maildir(), nullptr));
  const std::string inboxTmp = profile.maildir() + "/tmp/";
  const std::string sentTmp = profile.maildir() + "/.Sent Items/tmp/";
  const time_t now = std::time(nullptr);
  auto leave = [&](const std::string& path, time_t accessed, time_t modified) {
    WriteFile(path, "half a message");
    const timespec times[2] = {{accessed, 0}, {modified, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  };
  const time_t hour = 3600;
  leave(inboxTmp + "crashed", now - 37 * hour, now - 37 * hour);
  leave(sentTmp + "crashed", now - 37 * hour, now - 40 * hour);
  leave(inboxTmp + "recent", now - 35 * hour, now - 35 * hour);
  // Being written right now: the message's old delivery time is already set.
  leave(inboxTmp + "writing", now, now - 3 * 365 * 24 * hour);

  // Opening the store opens its default folders.
  auto store = MailStore::Open(profile.maildir(), nullptr);
  ASSERT_TRUE(store);
  EXPECT_FALSE(FileExists(inboxTmp + "crashed"));
  EXPECT_FALSE(FileExists(sentTmp + "crashed"));
  EXPECT_TRUE(FileExists(inboxTmp + "recent"));
  EXPECT_TRUE(FileExists(inboxTmp + "writing"));

  // Once per folder and store: later leftovers wait for the next start.
  leave(inboxTmp + "later", now - 37 * hour, now - 37 * hour);
  store->Inbox();
  EXPECT_TRUE(FileExists(inboxTmp + "later"));
}

TEST(MailStore, AMessageOverTheSizeBoundIsNeitherReadNorWritten) {
  TempProfile profile;
  auto store = MailStore::Open(profile.maildir(), nullptr);
  ASSERT_TRUE(store);
  auto inbox = store->Inbox();
  std::string id;
  ASSERT_TRUE(inbox->Deliver("Subject: x\n\nbody\n", false, 1260194602, &id));
  const std::string path = profile.maildir() + "/new/" + id;
  mailstore::StoredMessage message;
  ASSERT_TRUE(inbox->Read(id, &message));

  // Grown past the bound (a sparse file: no disk is used).
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(mailstore::kMaxMessageBytes + 1)), 0);
  errno = 0;
  EXPECT_FALSE(inbox->Read(id, &message));
  EXPECT_EQ(errno, EFBIG);
  ASSERT_EQ(truncate(path.c_str(), 17), 0);
  ASSERT_TRUE(inbox->Read(id, &message));
  EXPECT_EQ(message.bytes, "Subject: x\n\nbody\n");

  // A message that could not be read back is not written either.
  const std::string huge(mailstore::kMaxMessageBytes + 1, 'x');
  std::string other;
  errno = 0;
  EXPECT_FALSE(inbox->Deliver(huge, false, 1260194602, &other));
  EXPECT_EQ(errno, EFBIG);
  EXPECT_FALSE(inbox->Rewrite(id, huge, false, 1260194602));
  EXPECT_EQ(inbox->List(), std::vector<std::string>{id});
  EXPECT_TRUE(Files(profile.maildir() + "/tmp").empty());
  ASSERT_TRUE(inbox->Read(id, &message));
  EXPECT_EQ(message.bytes, "Subject: x\n\nbody\n");
}

}  // namespace
