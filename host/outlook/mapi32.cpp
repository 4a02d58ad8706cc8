// The MAPI32 functions the add-in calls: MAPI memory, the one-property
// helpers, whole-table reads and the logon to the host's profile.
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "addin/import/mapi.h"
#include "host/outlook/host_objects.h"
#include "host/outlook/prop_values.h"
#include "platform/text.h"

namespace {

// Every MAPI allocation starts with this header; blocks made with
// MAPIAllocateMore hang in a chain off their parent's header.
struct alignas(16) BlockHeader {
  BlockHeader* nextMore;
};

std::mutex g_chainMutex;

BlockHeader* HeaderOf(void* buffer) { return static_cast<BlockHeader*>(buffer) - 1; }

void* NewBlock(ULONG size) {
  auto* header = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + size));
  if (!header) return nullptr;
  header->nextMore = nullptr;
  return header + 1;
}

}  // namespace

SCODE MAPIAllocateBuffer(ULONG size, void** buffer) {
  if (!buffer) return MAPI_E_INVALID_PARAMETER;
  *buffer = NewBlock(size);
  return *buffer ? S_OK : MAPI_E_NOT_ENOUGH_MEMORY;
}

SCODE MAPIAllocateMore(ULONG size, void* parent, void** buffer) {
  if (!buffer || !parent) return MAPI_E_INVALID_PARAMETER;
  *buffer = NewBlock(size);
  if (!*buffer) return MAPI_E_NOT_ENOUGH_MEMORY;
  std::lock_guard lock(g_chainMutex);
  BlockHeader* parentHeader = HeaderOf(parent);
  HeaderOf(*buffer)->nextMore = parentHeader->nextMore;
  parentHeader->nextMore = HeaderOf(*buffer);
  return S_OK;
}

ULONG MAPIFreeBuffer(void* buffer) {
  if (!buffer) return S_OK;
  BlockHeader* header = HeaderOf(buffer);
  BlockHeader* more = header->nextMore;
  while (more) {
    BlockHeader* next = more->nextMore;
    std::free(more);
    more = next;
  }
  std::free(header);
  return S_OK;
}

HRESULT HrSetOneProp(IMAPIProp* object, const SPropValue* prop) {
  if (!object || !prop) return MAPI_E_INVALID_PARAMETER;
  SPropProblemArray* problems = nullptr;
  HRESULT hr = object->SetProps(1, prop, &problems);
  if (SUCCEEDED(hr) && problems && problems->cProblem > 0) hr = problems->aProblem[0].scode;
  MAPIFreeBuffer(problems);
  return hr;
}

HRESULT HrGetOneProp(IMAPIProp* object, ULONG tag, SPropValue** prop) {
  if (!object || !prop) return MAPI_E_INVALID_PARAMETER;
  *prop = nullptr;
  const SPropTagArray tags{1, &tag};
  ULONG count = 0;
  SPropValue* values = nullptr;
  const HRESULT hr = object->GetProps(&tags, 0, &count, &values);
  if (FAILED(hr)) return hr;
  if (!values || count != 1) {
    MAPIFreeBuffer(values);
    return MAPI_E_CALL_FAILED;
  }
  if (PROP_TYPE(values->ulPropTag) == PT_ERROR) {
    const SCODE code = values->Value.err;
    MAPIFreeBuffer(values);
    return code;
  }
  *prop = values;
  return S_OK;
}

HRESULT HrQueryAllRows(IMAPITable* table, const SPropTagArray* columns, SRestriction* restriction,
                       SSortOrderSet* sortOrder, LONG maxRows, SRowSet** rows) {
  if (!table || !rows) return MAPI_E_INVALID_PARAMETER;
  *rows = nullptr;
  if (restriction || sortOrder) return MAPI_E_NO_SUPPORT;
  if (columns) {
    const HRESULT hr = table->SetColumns(columns, 0);
    if (FAILED(hr)) return hr;
  }
  return table->QueryRows(maxRows > 0 ? maxRows : 0x7FFFFFFF, 0, rows);
}

void FreeProws(SRowSet* rows) {
  if (!rows) return;
  for (ULONG i = 0; i < rows->cRows; ++i) MAPIFreeBuffer(rows->aRow[i].lpProps);
  MAPIFreeBuffer(rows);
}

HRESULT MAPILogonEx(ULONG, LPCWSTR, LPCWSTR, ULONG, IMAPISession** session) {
  if (!session) return MAPI_E_INVALID_PARAMETER;
  *session = nullptr;
  std::string error;
  auto store = outlook_host::ProfileStore(&error);
  if (!store) return MAPI_E_LOGON_FAILED;
  auto context = std::make_shared<outlook_host::HostContext>();
  context->store = std::move(store);
  *session = outlook_host::MakeMapiSession(std::move(context)).Detach();
  return S_OK;
}

namespace outlook_host {

PropArrayBuilder::PropArrayBuilder(ULONG count, void* parent) {
  void* buffer = nullptr;
  const ULONG size = static_cast<ULONG>(sizeof(SPropValue)) * (count ? count : 1);
  const SCODE sc = parent ? MAPIAllocateMore(size, parent, &buffer) : MAPIAllocateBuffer(size, &buffer);
  if (SUCCEEDED(sc)) props_ = static_cast<SPropValue*>(buffer);
  owned_ = parent == nullptr;
}

PropArrayBuilder::~PropArrayBuilder() {
  if (owned_) MAPIFreeBuffer(props_);
}

SPropValue* PropArrayBuilder::Release() {
  SPropValue* props = props_;
  props_ = nullptr;
  return props;
}

void PropArrayBuilder::SetLong(ULONG i, ULONG tag, LONG value) {
  props_[i].ulPropTag = tag;
  props_[i].Value.l = value;
}

void PropArrayBuilder::SetBool(ULONG i, ULONG tag, bool value) {
  props_[i].ulPropTag = tag;
  props_[i].Value.b = value ? 1 : 0;
}

void PropArrayBuilder::SetTime(ULONG i, ULONG tag, std::int64_t unixSeconds) {
  props_[i].ulPropTag = tag;
  props_[i].Value.ft = UnixSecondsToFileTime(unixSeconds);
}

bool PropArrayBuilder::SetText(ULONG i, ULONG tag, std::u16string_view text) {
  void* buffer = nullptr;
  if (FAILED(MAPIAllocateMore(static_cast<ULONG>((text.size() + 1) * sizeof(char16_t)), props_, &buffer))) {
    SetError(i, tag, MAPI_E_NOT_ENOUGH_MEMORY);
    return false;
  }
  auto* chars = static_cast<char16_t*>(buffer);
  std::memcpy(chars, text.data(), text.size() * sizeof(char16_t));
  chars[text.size()] = 0;
  props_[i].ulPropTag = tag;
  props_[i].Value.lpszW = chars;
  return true;
}

bool PropArrayBuilder::SetBinary(ULONG i, ULONG tag, const std::vector<BYTE>& bytes) {
  void* buffer = nullptr;
  if (FAILED(MAPIAllocateMore(static_cast<ULONG>(bytes.size() ? bytes.size() : 1), props_, &buffer))) {
    SetError(i, tag, MAPI_E_NOT_ENOUGH_MEMORY);
    return false;
  }
  if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
  props_[i].ulPropTag = tag;
  props_[i].Value.bin = SBinary{static_cast<ULONG>(bytes.size()), static_cast<BYTE*>(buffer)};
  return true;
}

void PropArrayBuilder::SetError(ULONG i, ULONG tag, SCODE code) {
  props_[i].ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(tag));
  props_[i].Value.err = code;
}

HRESULT ProblemList::Deliver(SPropProblemArray** out) const {
  if (!out) return S_OK;
  *out = nullptr;
  if (problems_.empty()) return S_OK;
  void* buffer = nullptr;
  if (FAILED(MAPIAllocateBuffer(static_cast<ULONG>(sizeof(SPropProblemArray)), &buffer)))
    return MAPI_E_NOT_ENOUGH_MEMORY;
  auto* array = static_cast<SPropProblemArray*>(buffer);
  void* items = nullptr;
  if (FAILED(MAPIAllocateMore(static_cast<ULONG>(sizeof(SPropProblem) * problems_.size()), buffer, &items))) {
    MAPIFreeBuffer(buffer);
    return MAPI_E_NOT_ENOUGH_MEMORY;
  }
  std::memcpy(items, problems_.data(), sizeof(SPropProblem) * problems_.size());
  array->cProblem = static_cast<ULONG>(problems_.size());
  array->aProblem = static_cast<SPropProblem*>(items);
  *out = array;
  return S_OK;
}

}  // namespace outlook_host
