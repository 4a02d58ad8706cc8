// Extended MAPI as the add-in sees it: the property values and tags it
// reads and writes, the session, message store, message, attachment, table
// and address-book interfaces, and the MAPI32 functions. The mail-client
// host implements the interfaces and provides the functions (the add-in
// links against them as it would against MAPI32), so this header is the
// whole contract between the two.
#pragma once

#include "platform/com/stream.h"
#include "platform/com/unknown.h"
#include "platform/win32.h"

using SCODE = HRESULT;

// Entry ids travel as a byte count and a pointer to the bytes.
using ENTRYID = BYTE;
using LPENTRYID = ENTRYID*;

// ---- Result codes ---------------------------------------------------------
constexpr HRESULT MAPI_E_CALL_FAILED = E_FAIL;
constexpr HRESULT MAPI_E_NOT_ENOUGH_MEMORY = E_OUTOFMEMORY;
constexpr HRESULT MAPI_E_INVALID_PARAMETER = E_INVALIDARG;
constexpr HRESULT MAPI_E_INTERFACE_NOT_SUPPORTED = E_NOINTERFACE;
constexpr HRESULT MAPI_E_NO_ACCESS = E_ACCESSDENIED;
constexpr HRESULT MAPI_E_NO_SUPPORT = static_cast<HRESULT>(0x80040102);
constexpr HRESULT MAPI_E_UNKNOWN_FLAGS = static_cast<HRESULT>(0x80040106);
constexpr HRESULT MAPI_E_INVALID_ENTRYID = static_cast<HRESULT>(0x80040107);
constexpr HRESULT MAPI_E_CORRUPT_DATA = static_cast<HRESULT>(0x8004011B);
constexpr HRESULT MAPI_E_NOT_FOUND = static_cast<HRESULT>(0x8004010F);
constexpr HRESULT MAPI_E_LOGON_FAILED = static_cast<HRESULT>(0x80040111);
constexpr HRESULT MAPI_E_OBJECT_DELETED = static_cast<HRESULT>(0x8004010A);
constexpr HRESULT MAPI_E_COLLISION = static_cast<HRESULT>(0x80040604);
constexpr HRESULT MAPI_W_ERRORS_RETURNED = static_cast<HRESULT>(0x00040380);

// ---- Flags ----------------------------------------------------------------
constexpr ULONG MAPI_UNICODE = 0x80000000;
constexpr ULONG MAPI_EXTENDED = 0x00000020;
constexpr ULONG MAPI_ALLOW_OTHERS = 0x00000008;
constexpr ULONG MAPI_LOGON_UI = 0x00000001;
constexpr ULONG MAPI_NEW_SESSION = 0x00000002;
constexpr ULONG MDB_NO_DIALOG = 0x00000001;
constexpr ULONG MAPI_MODIFY = 0x00000001;
constexpr ULONG MAPI_BEST_ACCESS = 0x00000010;
constexpr ULONG MAPI_DEFERRED_ERRORS = 0x00000008;
constexpr ULONG KEEP_OPEN_READONLY = 0x00000001;
constexpr ULONG KEEP_OPEN_READWRITE = 0x00000002;
constexpr ULONG FORCE_SAVE = 0x00000004;
constexpr ULONG AB_NO_DIALOG = 0x00000001;
constexpr ULONG MAPI_SEND_NO_RICH_INFO = 0x00010000;

// Object types OpenEntry reports.
constexpr ULONG MAPI_STORE = 1;
constexpr ULONG MAPI_FOLDER = 3;
constexpr ULONG MAPI_MESSAGE = 5;
constexpr ULONG MAPI_ATTACH = 7;

// PR_MESSAGE_FLAGS bits.
constexpr ULONG MSGFLAG_READ = 0x00000001;
constexpr ULONG MSGFLAG_UNMODIFIED = 0x00000002;
constexpr ULONG MSGFLAG_SUBMIT = 0x00000004;
constexpr ULONG MSGFLAG_UNSENT = 0x00000008;

// PR_ATTACH_METHOD values.
constexpr LONG NO_ATTACHMENT = 0;
constexpr LONG ATTACH_BY_VALUE = 1;
constexpr LONG ATTACH_EMBEDDED_MSG = 5;

// ---- Property tags --------------------------------------------------------
constexpr ULONG PT_UNSPECIFIED = 0x0000;
constexpr ULONG PT_I2 = 0x0002;
constexpr ULONG PT_LONG = 0x0003;
constexpr ULONG PT_BOOLEAN = 0x000B;
constexpr ULONG PT_ERROR = 0x000A;
constexpr ULONG PT_OBJECT = 0x000D;
constexpr ULONG PT_I8 = 0x0014;
constexpr ULONG PT_STRING8 = 0x001E;
constexpr ULONG PT_UNICODE = 0x001F;
constexpr ULONG PT_SYSTIME = 0x0040;
constexpr ULONG PT_BINARY = 0x0102;

constexpr ULONG PROP_TAG(ULONG type, ULONG id) { return (id << 16) | type; }
constexpr ULONG PROP_TYPE(ULONG tag) { return tag & 0xFFFF; }
constexpr ULONG PROP_ID(ULONG tag) { return tag >> 16; }
constexpr ULONG CHANGE_PROP_TYPE(ULONG tag, ULONG type) { return (tag & 0xFFFF0000u) | type; }

constexpr ULONG PR_IMPORTANCE = 0x00170003;
constexpr ULONG PR_MESSAGE_CLASS_W = 0x001A001F;
constexpr ULONG PR_SUBJECT_W = 0x0037001F;
constexpr ULONG PR_CLIENT_SUBMIT_TIME = 0x00390040;
constexpr ULONG PR_SENT_REPRESENTING_ENTRYID = 0x00410102;
constexpr ULONG PR_SENT_REPRESENTING_NAME_W = 0x0042001F;
constexpr ULONG PR_SENT_REPRESENTING_ADDRTYPE_W = 0x0064001F;
constexpr ULONG PR_SENT_REPRESENTING_EMAIL_ADDRESS_W = 0x0065001F;
constexpr ULONG PR_SENDER_ENTRYID = 0x0C190102;
constexpr ULONG PR_SENDER_NAME_W = 0x0C1A001F;
constexpr ULONG PR_SENDER_ADDRTYPE_W = 0x0C1E001F;
constexpr ULONG PR_SENDER_EMAIL_ADDRESS_W = 0x0C1F001F;
constexpr ULONG PR_MESSAGE_DELIVERY_TIME = 0x0E060040;
constexpr ULONG PR_MESSAGE_FLAGS = 0x0E070003;
constexpr ULONG PR_MESSAGE_SIZE = 0x0E080003;
constexpr ULONG PR_ATTACH_SIZE = 0x0E200003;
constexpr ULONG PR_ATTACH_NUM = 0x0E210003;
constexpr ULONG PR_ENTRYID = 0x0FFF0102;
constexpr ULONG PR_STORE_ENTRYID = 0x0FFB0102;
constexpr ULONG PR_HTML = 0x10130102;
constexpr ULONG PR_CREATION_TIME = 0x30070040;
constexpr ULONG PR_LAST_MODIFICATION_TIME = 0x30080040;
constexpr ULONG PR_DISPLAY_NAME_W = 0x3001001F;
constexpr ULONG PR_ATTACH_DATA_BIN = 0x37010102;
constexpr ULONG PR_ATTACH_DATA_OBJ = 0x3701000D;
constexpr ULONG PR_ATTACH_FILENAME_W = 0x3704001F;
constexpr ULONG PR_ATTACH_METHOD = 0x37050003;
constexpr ULONG PR_ATTACH_LONG_FILENAME_W = 0x3707001F;
constexpr ULONG PR_ATTACH_MIME_TAG_W = 0x370E001F;

// ---- Property values ------------------------------------------------------
struct SBinary {
  ULONG cb;
  BYTE* lpb;
};

// The value of the type named by the tag. Pointers in a value given to
// SetProps belong to the caller; a value returned by GetProps lives in one
// MAPI allocation that the caller frees with MAPIFreeBuffer.
union PV {
  short i;
  LONG l;
  unsigned short b;
  LONGLONG li;
  char* lpszA;
  char16_t* lpszW;
  SBinary bin;
  FILETIME ft;
  SCODE err;
  LONG x;
};

struct SPropValue {
  ULONG ulPropTag;
  ULONG dwAlignPad;
  PV Value;
};
using LPSPropValue = SPropValue*;

struct SPropTagArray {
  ULONG cValues;
  const ULONG* aulPropTag;
};
using LPSPropTagArray = SPropTagArray*;

struct SPropProblem {
  ULONG ulIndex;
  ULONG ulPropTag;
  SCODE scode;
};

struct SPropProblemArray {
  ULONG cProblem;
  SPropProblem* aProblem;
};
using LPSPropProblemArray = SPropProblemArray*;

// One table row; lpProps is its own MAPI allocation.
struct SRow {
  ULONG ulAdrEntryPad;
  ULONG cValues;
  SPropValue* lpProps;
};

struct SRowSet {
  ULONG cRows;
  SRow* aRow;
};
using LPSRowSet = SRowSet*;

// Restrictions and sort orders are accepted only as "none" here.
struct SRestriction;
struct SSortOrderSet;

// ---- Interfaces -----------------------------------------------------------
struct IMAPIProp : IUnknown {
  static constexpr IID kIid = OleGuid(0x00020303);

  virtual HRESULT SaveChanges(ULONG flags) = 0;
  // `tags` null asks for every property. Properties that are missing come
  // back with type PT_ERROR and MAPI_E_NOT_FOUND, and the call then returns
  // MAPI_W_ERRORS_RETURNED.
  virtual HRESULT GetProps(const SPropTagArray* tags, ULONG flags, ULONG* count, SPropValue** props) = 0;
  // Properties that cannot be set are listed in *problems (when asked for)
  // and the call still succeeds.
  virtual HRESULT SetProps(ULONG count, const SPropValue* props, SPropProblemArray** problems) = 0;
  virtual HRESULT OpenProperty(ULONG tag, LPCIID iid, ULONG interfaceOptions, ULONG flags, IUnknown** object) = 0;
};

struct IMAPITable : IUnknown {
  static constexpr IID kIid = OleGuid(0x00020301);

  virtual HRESULT SetColumns(const SPropTagArray* columns, ULONG flags) = 0;
  virtual HRESULT GetRowCount(ULONG flags, ULONG* count) = 0;
  // Up to `rowCount` rows from the current position, which moves past them.
  virtual HRESULT QueryRows(LONG rowCount, ULONG flags, SRowSet** rows) = 0;
};

struct IAttach : IMAPIProp {
  static constexpr IID kIid = OleGuid(0x00020308);
  using BaseInterface = IMAPIProp;
};

struct IMessage : IMAPIProp {
  static constexpr IID kIid = OleGuid(0x00020307);
  using BaseInterface = IMAPIProp;

  // Columns PR_ATTACH_NUM, PR_ATTACH_METHOD, PR_ATTACH_SIZE,
  // PR_ATTACH_LONG_FILENAME_W, PR_ATTACH_FILENAME_W unless set otherwise.
  virtual HRESULT GetAttachmentTable(ULONG flags, IMAPITable** table) = 0;
  virtual HRESULT OpenAttach(ULONG attachmentNum, LPCIID iid, ULONG flags, IAttach** attachment) = 0;
};

struct IMsgStore : IMAPIProp {
  static constexpr IID kIid = OleGuid(0x00020306);
  using BaseInterface = IMAPIProp;

  virtual HRESULT OpenEntry(ULONG cbEntryId, LPENTRYID entryId, LPCIID iid, ULONG flags, ULONG* objectType,
                            IUnknown** object) = 0;
};

struct IAddrBook : IUnknown {
  static constexpr IID kIid = OleGuid(0x00020309);

  // A one-off entry id for the recipient (name, address type, address); the
  // caller frees it with MAPIFreeBuffer.
  virtual HRESULT CreateOneOff(LPCWSTR name, LPCWSTR addressType, LPCWSTR address, ULONG flags,
                               ULONG* cbEntryId, LPENTRYID* entryId) = 0;
};

struct IMAPISession : IUnknown {
  static constexpr IID kIid = OleGuid(0x00020300);

  virtual HRESULT OpenMsgStore(ULONG uiParam, ULONG cbEntryId, LPENTRYID entryId, LPCIID iid, ULONG flags,
                               IMsgStore** store) = 0;
  virtual HRESULT OpenEntry(ULONG cbEntryId, LPENTRYID entryId, LPCIID iid, ULONG flags, ULONG* objectType,
                            IUnknown** object) = 0;
  virtual HRESULT OpenAddressBook(ULONG uiParam, LPCIID iid, ULONG flags, IAddrBook** addressBook) = 0;
};
using LPMAPISESSION = IMAPISession*;

// ---- MAPI32 functions (provided by the host) -------------------------------
// Logs on to the default profile: the mail store of the host.
HRESULT MAPILogonEx(ULONG uiParam, LPCWSTR profileName, LPCWSTR password, ULONG flags, IMAPISession** session);

// MAPI memory: MAPIAllocateMore ties a block to a parent, and freeing the
// parent frees them all.
SCODE MAPIAllocateBuffer(ULONG size, void** buffer);
SCODE MAPIAllocateMore(ULONG size, void* parent, void** buffer);
ULONG MAPIFreeBuffer(void* buffer);

// One property by tag; HrGetOneProp's value is freed with MAPIFreeBuffer.
HRESULT HrSetOneProp(IMAPIProp* object, const SPropValue* prop);
HRESULT HrGetOneProp(IMAPIProp* object, ULONG tag, SPropValue** prop);

// Every row of a table with the given columns; restriction and sort order
// must be null here, maxRows 0 means no limit.
HRESULT HrQueryAllRows(IMAPITable* table, const SPropTagArray* columns, SRestriction* restriction,
                       SSortOrderSet* sortOrder, LONG maxRows, SRowSet** rows);
// Frees a row set and each of its rows.
void FreeProws(SRowSet* rows);
