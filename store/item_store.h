// Tweets stored as post items ("IPM.Post") in the mail client: created and
// filled through the object model, tagged with the tweet id, and stamped
// through MAPI with the tweet's time and sender; and read back for the
// toolbar's reply and retweet commands.
#pragma once

#include <string>

#include "addin/import/mapi.h"
#include "addin/import/outlook.h"
#include "client/records.h"
#include "platform/com/com_ptr.h"
#include "settings/account.h"

// Where one item goes; built by the caller for each item.
struct DeliveryTarget {
  ComPtr<_Application> application;  // filled by CreateTweetItem when none is given
  ComPtr<_NameSpace> nameSpace;      // filled by CreateTweetItem
  CTwitterAccount* account = nullptr;  // set by CreateTweetItem
  std::u16string folderId;  // EntryID of the destination folder (hex), or empty for the Inbox
  std::u16string storeId;   // StoreID of its store (hex), or empty
  bool perSender = false;   // into a subfolder named after the sender
};

// Creates, fills, saves and stamps the item of one tweet. `application` is
// used when the target has none (the polling thread's own reference); the
// process-wide one otherwise. Returns the result of the failing step, which
// is also logged ("twr"); *entryId gets the saved item's EntryID.
HRESULT CreateTweetItem(_Application* application, DeliveryTarget& target, const TwitterStatus& tweet,
                        CTwitterAccount& account, std::u16string* entryId);
// Stores a tweet the user posted in the sent-tweets folder when the account
// asks for that; E_FAIL when there is no text or no folder chosen.
HRESULT SaveSentTweet(CTwitterAccount& account, DeliveryTarget& target, const TwitterStatus& tweet,
                      std::u16string* entryId);
// The tweet id (user property "TwitterStatusId") and, for items sent by a
// TWITTER address, the sender's screen name of a stored item (a post or
// mail item). Fields that cannot be read stay empty.
HRESULT ReadTweetItem(IUnknown* item, TwitterStatus* tweet);

// The process's MAPI session, made on first use: the mail client's own when
// it is version 11 or later, else a MAPI logon. A new reference each call.
HRESULT GetMapiSession(IMAPISession** session);
// Releases the cached session (at disconnection).
void ReleaseMapiSession();

// The steps of CreateTweetItem.
HRESULT ResolveDestinationFolder(DeliveryTarget& target, MAPIFolder** folder);
HRESULT ResolveSenderFolder(MAPIFolder* destination, const DeliveryTarget& target, const TwitterStatus& tweet,
                            MAPIFolder** folder);
HRESULT SetStatusIdProperty(_PostItem* item, const std::u16string& id);
HRESULT StampMapiProperties(const std::u16string& storeId, const std::u16string& entryId, const TwitterStatus& tweet,
                            const std::u16string& senderName);

// The sender's display name on stored items: the full name when the user
// asked for it and the service gave one, else the screen name.
std::u16string SenderDisplayName(const TwitterUser& user);
// Whether a tweet concerns the account user `user` (it is marked high
// importance).
bool TweetConcernsUser(const TwitterStatus& tweet, std::u16string_view user);
