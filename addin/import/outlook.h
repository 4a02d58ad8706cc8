// The mail client's object model as the add-in sees it, declared the way an
// imported type library declares it: dual interfaces (IDispatch-based) with
// their interface ids, property gets as get_X, puts as put_X, every call
// returning an HRESULT. A call that succeeds may still give no object;
// callers treat that as a failure of their own. The mail-client host
// implements these interfaces.
#pragma once

#include "platform/com/dispatch.h"

// Outlook's OlDefaultFolders values used here.
enum OlDefaultFolders : LONG {
  olFolderDeletedItems = 3,
  olFolderOutbox = 4,
  olFolderSentMail = 5,
  olFolderInbox = 6,
  olFolderDrafts = 16,
};

enum OlItemType : LONG {
  olMailItem = 0,
  olPostItem = 6,
};

enum OlImportance : LONG {
  olImportanceLow = 0,
  olImportanceNormal = 1,
  olImportanceHigh = 2,
};

enum OlUserPropertyType : LONG {
  olText = 1,
};

enum OlObjectClass : LONG {
  olFolder = 2,
  olMail = 43,
  olPost = 45,
};

// The dispatch id under which every item exposes its MAPI object.
constexpr DISPID kDispidMapiObject = 0xF100;

struct _NameSpace;
struct MAPIFolder;
struct _Folders;
struct _Items;
struct UserProperties;
struct UserProperty;
// Explorer windows and their collection come with the toolbar.
struct _Explorer;
struct _Explorers;

struct _Application : IDispatch {
  static constexpr IID kIid = OleGuid(0x00063001);
  using BaseInterface = IDispatch;

  virtual HRESULT get_Session(_NameSpace** session) = 0;
  // The version text, leading number first ("12.0.0.0").
  virtual HRESULT get_Version(BSTR* version) = 0;
  // The active explorer, or none (S_OK with a null result).
  virtual HRESULT ActiveExplorer(_Explorer** explorer) = 0;
  virtual HRESULT get_Explorers(_Explorers** explorers) = 0;
  // olMailItem gives a new, unsaved _MailItem in the Drafts folder.
  virtual HRESULT CreateItem(LONG itemType, IDispatch** item) = 0;
};

struct _NameSpace : IDispatch {
  static constexpr IID kIid = OleGuid(0x00063002);
  using BaseInterface = IDispatch;

  // storeId is text, or omitted for the default store.
  virtual HRESULT GetFolderFromID(const BSTR& entryId, const VARIANT& storeId, MAPIFolder** folder) = 0;
  virtual HRESULT GetDefaultFolder(LONG folderType, MAPIFolder** folder) = 0;
  virtual HRESULT GetItemFromID(const BSTR& entryId, const VARIANT& storeId, IDispatch** item) = 0;
  // The folder the user chose, or none when the choice was cancelled.
  virtual HRESULT PickFolder(MAPIFolder** folder) = 0;
  // The MAPI session (IMAPISession) behind the namespace.
  virtual HRESULT get_MAPIOBJECT(IUnknown** object) = 0;
};

struct MAPIFolder : IDispatch {
  static constexpr IID kIid = OleGuid(0x00063006);
  using BaseInterface = IDispatch;

  virtual HRESULT get_Folders(_Folders** folders) = 0;
  virtual HRESULT get_Items(_Items** items) = 0;
  virtual HRESULT get_Name(BSTR* name) = 0;
  // Hexadecimal text, upper case.
  virtual HRESULT get_EntryID(BSTR* entryId) = 0;
  virtual HRESULT get_StoreID(BSTR* storeId) = 0;
};

struct _Folders : IDispatch {
  static constexpr IID kIid = OleGuid(0x00063040);
  using BaseInterface = IDispatch;

  virtual HRESULT get_Count(LONG* count) = 0;
  // index: a name (compared ignoring case) or a number from 1; fails with
  // MAPI_E_NOT_FOUND when there is no such folder.
  virtual HRESULT Item(const VARIANT& index, MAPIFolder** folder) = 0;
  // type omitted: the parent's kind. Fails when the name is taken.
  virtual HRESULT Add(const BSTR& name, const VARIANT& type, MAPIFolder** folder) = 0;
};

struct _Items : IDispatch {
  static constexpr IID kIid = OleGuid(0x00063041);
  using BaseInterface = IDispatch;

  virtual HRESULT get_Count(LONG* count) = 0;
  // index: a number from 1, in the folder's delivery order.
  virtual HRESULT Item(const VARIANT& index, IDispatch** item) = 0;
  // type: a message class ("IPM.Post") or an OlItemType; a new unsaved item.
  virtual HRESULT Add(const VARIANT& type, IDispatch** item) = 0;
};

struct UserProperty : IDispatch {
  static constexpr IID kIid = OleGuid(0x00063042);
  using BaseInterface = IDispatch;

  virtual HRESULT get_Name(BSTR* name) = 0;
  virtual HRESULT get_Type(LONG* type) = 0;
  virtual HRESULT get_Value(VARIANT* value) = 0;
  virtual HRESULT put_Value(const VARIANT& value) = 0;
};

struct UserProperties : IDispatch {
  static constexpr IID kIid = OleGuid(0x0006303D);
  using BaseInterface = IDispatch;

  virtual HRESULT get_Count(LONG* count) = 0;
  virtual HRESULT Item(const VARIANT& index, UserProperty** property) = 0;
  // The property of that name, new (with an empty value) or existing.
  virtual HRESULT Add(const BSTR& name, LONG type, const VARIANT& addToFolderFields, const VARIANT& displayFormat,
                      UserProperty** property) = 0;
  // The property of that name (ignoring case), or none.
  virtual HRESULT Find(const BSTR& name, const VARIANT& custom, UserProperty** property) = 0;
};

struct _PostItem : IDispatch {
  static constexpr IID kIid = OleGuid(0x00063024);
  using BaseInterface = IDispatch;

  virtual HRESULT get_Class(LONG* objectClass) = 0;
  virtual HRESULT get_EntryID(BSTR* entryId) = 0;
  virtual HRESULT get_MessageClass(BSTR* messageClass) = 0;
  virtual HRESULT put_MessageClass(const BSTR& messageClass) = 0;
  virtual HRESULT get_Subject(BSTR* subject) = 0;
  virtual HRESULT put_Subject(const BSTR& subject) = 0;
  virtual HRESULT get_HTMLBody(BSTR* html) = 0;
  virtual HRESULT put_HTMLBody(const BSTR& html) = 0;
  virtual HRESULT get_Body(BSTR* text) = 0;
  virtual HRESULT get_Categories(BSTR* categories) = 0;
  virtual HRESULT put_Categories(const BSTR& categories) = 0;
  virtual HRESULT get_Importance(LONG* importance) = 0;
  virtual HRESULT put_Importance(LONG importance) = 0;
  virtual HRESULT get_UnRead(VARIANT_BOOL* unread) = 0;
  virtual HRESULT put_UnRead(VARIANT_BOOL unread) = 0;
  virtual HRESULT get_SenderName(BSTR* name) = 0;
  virtual HRESULT get_SenderEmailAddress(BSTR* address) = 0;
  virtual HRESULT get_SenderEmailType(BSTR* addressType) = 0;
  virtual HRESULT get_UserProperties(UserProperties** properties) = 0;
  // The item's IMessage (as IUnknown).
  virtual HRESULT get_MAPIOBJECT(IUnknown** object) = 0;
  virtual HRESULT Save() = 0;
};

struct _MailItem : IDispatch {
  static constexpr IID kIid = OleGuid(0x00063034);
  using BaseInterface = IDispatch;

  virtual HRESULT get_Class(LONG* objectClass) = 0;
  virtual HRESULT get_EntryID(BSTR* entryId) = 0;
  virtual HRESULT get_MessageClass(BSTR* messageClass) = 0;
  virtual HRESULT put_MessageClass(const BSTR& messageClass) = 0;
  virtual HRESULT get_Subject(BSTR* subject) = 0;
  virtual HRESULT put_Subject(const BSTR& subject) = 0;
  virtual HRESULT get_HTMLBody(BSTR* html) = 0;
  virtual HRESULT put_HTMLBody(const BSTR& html) = 0;
  virtual HRESULT get_Body(BSTR* text) = 0;
  virtual HRESULT put_Body(const BSTR& text) = 0;
  virtual HRESULT get_Categories(BSTR* categories) = 0;
  virtual HRESULT put_Categories(const BSTR& categories) = 0;
  virtual HRESULT get_Importance(LONG* importance) = 0;
  virtual HRESULT put_Importance(LONG importance) = 0;
  virtual HRESULT get_UnRead(VARIANT_BOOL* unread) = 0;
  virtual HRESULT put_UnRead(VARIANT_BOOL unread) = 0;
  virtual HRESULT get_SenderName(BSTR* name) = 0;
  virtual HRESULT get_SenderEmailAddress(BSTR* address) = 0;
  virtual HRESULT get_SenderEmailType(BSTR* addressType) = 0;
  virtual HRESULT get_To(BSTR* to) = 0;
  virtual HRESULT put_To(const BSTR& to) = 0;
  virtual HRESULT get_UserProperties(UserProperties** properties) = 0;
  virtual HRESULT get_MAPIOBJECT(IUnknown** object) = 0;
  virtual HRESULT Save() = 0;
  // Opens the item in a window of the front end (modal: true waits).
  virtual HRESULT Display(const VARIANT& modal) = 0;
};
