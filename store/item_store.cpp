#include "store/item_store.h"

#include <mutex>

#include "diag/logging.h"
#include "platform/text.h"
#include "settings/options.h"
#include "store/body.h"
#include "store/outlook_access.h"

namespace {

constexpr char kLog[] = "twr";
constexpr char16_t kStatusIdProperty[] = u"TwitterStatusId";
constexpr char16_t kAddressType[] = u"TWITTER";

std::mutex g_sessionMutex;
ComPtr<IMAPISession> g_session;

log4cpp::Category& Log() { return LogCategory(kLog); }

void LogFailed(const char* step, HRESULT hr) {
  Log().error("%s failed. 0x%lx", step, static_cast<unsigned long>(static_cast<std::uint32_t>(hr)));
}
void LogNull(const char* step) { Log().error("%s failed. NULL.", step); }

// A call that failed, or succeeded without an object: logged, and its
// result (E_POINTER for the missing object).
template <class T>
HRESULT Checked(const char* step, HRESULT hr, const ComPtr<T>& object) {
  if (FAILED(hr)) {
    LogFailed(step, hr);
    return hr;
  }
  if (!object) {
    LogNull(step);
    return E_POINTER;
  }
  return S_OK;
}

// What the item needs of the shared account, read under its lock.
struct AccountValues {
  std::u16string user;
  std::u16string categories;
  std::u16string apiHost;
  bool tinyUrlPreview = false;
};

AccountValues ReadAccount(CTwitterAccount& account) {
  auto guard = account.Lock();
  return {account.User, account.NewMessageCategories, account.ApiHost, account.TinyUrlPreview};
}

void SetItemContent(_PostItem* item, const TwitterStatus& tweet, const AccountValues& account) {
  item->put_Subject(ComposeSubject(tweet));
  std::u16string body = RenderMessageBody(tweet);
  if (account.tinyUrlPreview) RewriteTinyUrlPreview(body);
  if (!account.apiHost.empty() && tweet.kind != TweetKindSearch) RewriteApiHost(body, account.apiHost);
  item->put_HTMLBody(body);
  if (!account.categories.empty()) item->put_Categories(account.categories);
  if (TweetConcernsUser(tweet, account.user)) item->put_Importance(olImportanceHigh);
}

// The read flag goes on through MAPI; without a MAPI object the item stays
// as created.
void SetMessageFlags(_PostItem* item, const TwitterStatus& tweet) {
  ComPtr<IUnknown> object;
  ComPtr<IMessage> message;
  if (FAILED(item->get_MAPIOBJECT(object.put())) || !object || FAILED(object.As(&message)) || !message) return;
  SPropValue flags{};
  flags.ulPropTag = PR_MESSAGE_FLAGS;
  flags.Value.l = static_cast<LONG>(tweet.postedByUser ? (MSGFLAG_UNSENT | MSGFLAG_READ) : MSGFLAG_UNSENT);
  HrSetOneProp(message.get(), &flags);
  message->SaveChanges(KEEP_OPEN_READWRITE);
}

// Two hex digits a byte; text that is not hex gives no bytes.
std::vector<BYTE> HexBytes(const std::u16string& hex) {
  std::vector<BYTE> bytes;
  if (hex.size() % 2) return bytes;
  auto value = [](char16_t c) -> int {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int hi = value(hex[i]), lo = value(hex[i + 1]);
    if (hi < 0 || lo < 0) return {};
    bytes.push_back(static_cast<BYTE>(hi * 16 + lo));
  }
  return bytes;
}

SPropValue TextProp(ULONG tag, const std::u16string& text) {
  SPropValue p{};
  p.ulPropTag = tag;
  p.Value.lpszW = const_cast<char16_t*>(text.c_str());
  return p;
}

// Reads the tweet fields of a post or mail item.
template <class Item>
HRESULT ReadItem(Item* item, TwitterStatus* tweet) {
  ComPtr<UserProperties> properties;
  HRESULT hr = item->get_UserProperties(properties.put());
  if (FAILED(hr = Checked("stp: gup", hr, properties))) return hr;
  ComPtr<UserProperty> property;
  if (SUCCEEDED(properties->Find(kStatusIdProperty, VariantOmitted(), property.put())) && property) {
    VARIANT value;
    if (SUCCEEDED(property->get_Value(&value)) && value.vt == VT_BSTR) tweet->id = value.bstrVal;
  }
  BSTR addressType;
  if (FAILED(item->get_SenderEmailType(&addressType)) || addressType != kAddressType) return S_OK;
  ComPtr<IUnknown> object;
  ComPtr<IMessage> message;
  if (FAILED(item->get_MAPIOBJECT(object.put())) || !object || FAILED(object.As(&message))) return S_OK;
  SPropValue* sender = nullptr;
  if (SUCCEEDED(HrGetOneProp(message.get(), PR_SENT_REPRESENTING_EMAIL_ADDRESS_W, &sender)) && sender->Value.lpszW)
    tweet->user.screenName = sender->Value.lpszW;
  MAPIFreeBuffer(sender);
  return S_OK;
}

}  // namespace

std::u16string SenderDisplayName(const TwitterUser& user) {
  CPLOpts& options = GetOptions();
  bool full;
  {
    auto guard = options.Lock();
    full = options.ShowFullSenderName;
  }
  return full && !user.name.empty() ? user.name : user.screenName;
}

bool TweetConcernsUser(const TwitterStatus& tweet, std::u16string_view user) {
  if (tweet.kind == TweetKindDirect)
    return tweet.recipientScreenName.empty() || EqualsIgnoreCase(tweet.recipientScreenName, user);
  return FindIgnoreCase(tweet.text, u"@" + std::u16string(user)) != std::u16string::npos;
}

HRESULT GetMapiSession(IMAPISession** session) {
  if (!session) return E_POINTER;
  *session = nullptr;
  std::lock_guard lock(g_sessionMutex);
  if (!g_session && OutlookMajorVersion() >= 11) {
    ComPtr<_Application> application;
    ComPtr<_NameSpace> nameSpace;
    ComPtr<IUnknown> object;
    if (SUCCEEDED(GetOutlookApplication(application.put())) && application &&
        SUCCEEDED(application->get_Session(nameSpace.put())) && nameSpace &&
        SUCCEEDED(nameSpace->get_MAPIOBJECT(object.put())) && object)
      object.As(&g_session);
  }
  if (!g_session) {
    ComPtr<IMAPISession> logon;
    const HRESULT hr = MAPILogonEx(0, nullptr, nullptr, MAPI_EXTENDED | MAPI_ALLOW_OTHERS, logon.put());
    if (!logon) return FAILED(hr) ? hr : E_FAIL;
    g_session = std::move(logon);
  }
  return g_session.CopyTo(session);
}

void ReleaseMapiSession() {
  ComPtr<IMAPISession> session;
  std::lock_guard lock(g_sessionMutex);
  session = std::move(g_session);
}

HRESULT ResolveDestinationFolder(DeliveryTarget& target, MAPIFolder** folder) {
  *folder = nullptr;
  ComPtr<MAPIFolder> found;
  if (!target.folderId.empty()) {
    const VARIANT store = target.storeId.empty() ? VariantOmitted() : VariantText(target.storeId);
    if (FAILED(target.nameSpace->GetFolderFromID(target.folderId, store, found.put()))) found = nullptr;
  }
  if (!found) {
    const HRESULT hr = target.nameSpace->GetDefaultFolder(olFolderInbox, found.put());
    if (FAILED(hr)) return hr;
  }
  *folder = found.Detach();
  return S_OK;
}

HRESULT ResolveSenderFolder(MAPIFolder* destination, const DeliveryTarget& target, const TwitterStatus& tweet,
                            MAPIFolder** folder) {
  *folder = nullptr;
  if (!target.perSender) return CopyInterface(destination, folder);
  ComPtr<_Folders> folders;
  HRESULT hr = destination->get_Folders(folders.put());
  if (FAILED(hr = Checked("gtffm: gdf", hr, folders))) return hr;
  ComPtr<MAPIFolder> sender;
  if (FAILED(folders->Item(VariantText(tweet.user.screenName), sender.put())) || !sender) {
    sender = nullptr;
    if (FAILED(folders->Add(tweet.user.screenName, VariantOmitted(), sender.put()))) sender = nullptr;
  }
  if (!sender) return CopyInterface(destination, folder);
  *folder = sender.Detach();
  return S_OK;
}

HRESULT SetStatusIdProperty(_PostItem* item, const std::u16string& id) {
  ComPtr<UserProperties> properties;
  HRESULT hr = item->get_UserProperties(properties.put());
  if (FAILED(hr = Checked("stp: gup", hr, properties))) return hr;
  ComPtr<UserProperty> property;
  hr = properties->Add(kStatusIdProperty, olText, VariantOmitted(), VariantOmitted(), property.put());
  if (!property) {
    Log().error("stp: upa 0x%lx", static_cast<unsigned long>(static_cast<std::uint32_t>(hr)));
    return FAILED(hr) ? hr : E_POINTER;
  }
  return property->put_Value(VariantText(id));
}

HRESULT StampMapiProperties(const std::u16string& storeId, const std::u16string& entryId, const TwitterStatus& tweet,
                            const std::u16string& senderName) {
  std::vector<BYTE> storeBytes = HexBytes(storeId);
  std::vector<BYTE> entryBytes = HexBytes(entryId);
  ComPtr<IMAPISession> session;
  HRESULT hr = GetMapiSession(session.put());
  if (FAILED(hr)) return hr;
  {
    // Only opens the store in the session; its result does not matter.
    ComPtr<IMsgStore> store;
    session->OpenMsgStore(0, static_cast<ULONG>(storeBytes.size()), storeBytes.data(), nullptr,
                          MDB_NO_DIALOG | MAPI_BEST_ACCESS, store.put());
  }
  ULONG objectType = 0;
  ComPtr<IUnknown> object;
  hr = session->OpenEntry(static_cast<ULONG>(entryBytes.size()), entryBytes.data(), nullptr,
                          MAPI_BEST_ACCESS | MAPI_DEFERRED_ERRORS, &objectType, object.put());
  if (FAILED(hr) || !object) return FAILED(hr) ? hr : E_POINTER;
  ComPtr<IMessage> message;
  hr = object.As(&message);
  if (FAILED(hr)) return hr;

  ULONG oneOffSize = 0;
  LPENTRYID oneOff = nullptr;
  {
    ComPtr<IAddrBook> addressBook;
    if (FAILED(session->OpenAddressBook(0, nullptr, AB_NO_DIALOG, addressBook.put())) || !addressBook ||
        FAILED(addressBook->CreateOneOff(senderName.c_str(), kAddressType, tweet.user.screenName.c_str(),
                                         MAPI_UNICODE | MAPI_SEND_NO_RICH_INFO, &oneOffSize, &oneOff))) {
      oneOff = nullptr;
      oneOffSize = 0;
    }
  }

  const std::u16string messageClass = u"IPM.Post";
  const std::u16string addressType = kAddressType;
  std::vector<SPropValue> props;
  // A tweet that never had a date keeps the times of its saving rather
  // than a time in 1601.
  FILETIME created{};
  if (SystemTimeToFileTime(&tweet.createdUtc, &created)) {
    for (ULONG tag : {PR_CREATION_TIME, PR_LAST_MODIFICATION_TIME, PR_CLIENT_SUBMIT_TIME, PR_MESSAGE_DELIVERY_TIME}) {
      SPropValue p{};
      p.ulPropTag = tag;
      p.Value.ft = created;
      props.push_back(p);
    }
  }
  auto addSender = [&](ULONG nameTag, ULONG addressTag, ULONG typeTag, ULONG entryIdTag) {
    props.push_back(TextProp(nameTag, senderName));
    props.push_back(TextProp(addressTag, tweet.user.screenName));
    props.push_back(TextProp(typeTag, addressType));
    if (oneOff) {
      SPropValue p{};
      p.ulPropTag = entryIdTag;
      p.Value.bin = SBinary{oneOffSize, oneOff};
      props.push_back(p);
    }
  };
  props.push_back(TextProp(PR_MESSAGE_CLASS_W, messageClass));
  addSender(PR_SENDER_NAME_W, PR_SENDER_EMAIL_ADDRESS_W, PR_SENDER_ADDRTYPE_W, PR_SENDER_ENTRYID);
  addSender(PR_SENT_REPRESENTING_NAME_W, PR_SENT_REPRESENTING_EMAIL_ADDRESS_W, PR_SENT_REPRESENTING_ADDRTYPE_W,
            PR_SENT_REPRESENTING_ENTRYID);
  hr = message->SetProps(static_cast<ULONG>(props.size()), props.data(), nullptr);
  if (SUCCEEDED(hr)) hr = message->SaveChanges(KEEP_OPEN_READWRITE);
  MAPIFreeBuffer(oneOff);
  return hr;
}

HRESULT CreateTweetItem(_Application* application, DeliveryTarget& target, const TwitterStatus& tweet,
                        CTwitterAccount& account, std::u16string* entryId) {
  if (entryId) entryId->clear();
  HRESULT hr = S_OK;
  if (!target.application) target.application = ComPtr<_Application>(application);
  if (!target.application) {
    hr = GetOutlookApplication(target.application.put());
    if (FAILED(hr = Checked("nom: goa", hr, target.application))) return hr;
  }
  target.nameSpace = nullptr;
  hr = target.application->get_Session(target.nameSpace.put());
  if (FAILED(hr = Checked("nom: gs", hr, target.nameSpace))) return hr;
  target.account = &account;
  const AccountValues values = ReadAccount(account);

  ComPtr<MAPIFolder> destination;
  hr = ResolveDestinationFolder(target, destination.put());
  if (FAILED(hr = Checked("nom: gdf", hr, destination))) return hr;
  ComPtr<MAPIFolder> folder;
  hr = ResolveSenderFolder(destination.get(), target, tweet, folder.put());
  if (FAILED(hr = Checked("nom: gdfm", hr, folder))) return hr;

  ComPtr<_Items> items;
  hr = folder->get_Items(items.put());
  if (FAILED(hr = Checked("nom: gi", hr, items))) return hr;
  ComPtr<IDispatch> created;
  hr = items->Add(VariantText(u"IPM.Post"), created.put());
  if (FAILED(hr = Checked("nom: ia", hr, created))) return hr;
  ComPtr<_PostItem> item;
  if (FAILED(created.As(&item)) || !item) {
    LogNull("nom: ci qi");
    return E_POINTER;
  }

  SetItemContent(item.get(), tweet, values);
  SetMessageFlags(item.get(), tweet);
  SetStatusIdProperty(item.get(), tweet.id);
  hr = item->Save();
  if (FAILED(hr)) {
    LogFailed("nom: olsv", hr);
    return hr;
  }

  BSTR savedId, storeId;
  if (FAILED(item->get_EntryID(&savedId))) savedId.clear();
  if (FAILED(folder->get_StoreID(&storeId))) storeId.clear();
  if (entryId) *entryId = savedId;
  item = nullptr;
  created = nullptr;
  items = nullptr;
  folder = nullptr;
  destination = nullptr;

  if (!savedId.empty()) StampMapiProperties(storeId, savedId, tweet, SenderDisplayName(tweet.user));
  Log().info("nom: nm %s %s, %s", Utf16ToAnsi(tweet.user.screenName).c_str(), Utf16ToAnsi(tweet.text).c_str(),
             Utf16ToAnsi(tweet.id).c_str());
  return S_OK;
}

HRESULT SaveSentTweet(CTwitterAccount& account, DeliveryTarget& target, const TwitterStatus& tweet,
                      std::u16string* entryId) {
  {
    auto guard = account.Lock();
    if (!account.SaveSentMessages) return S_OK;
    if (tweet.text.empty() || account.SentMessageFolderId.empty()) return E_FAIL;
    target.folderId = account.SentMessageFolderId;
    target.storeId = account.SentMessageFolderStoreId;
  }
  target.perSender = false;
  return CreateTweetItem(nullptr, target, tweet, account, entryId);
}

HRESULT ReadTweetItem(IUnknown* item, TwitterStatus* tweet) {
  if (!item || !tweet) return E_POINTER;
  ComPtr<IUnknown> object(item);
  ComPtr<_PostItem> post;
  if (SUCCEEDED(object.As(&post)) && post) return ReadItem(post.get(), tweet);
  ComPtr<_MailItem> mail;
  if (SUCCEEDED(object.As(&mail)) && mail) return ReadItem(mail.get(), tweet);
  return E_NOINTERFACE;
}
