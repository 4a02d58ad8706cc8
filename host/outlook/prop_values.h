// Building MAPI property arrays in one MAPI allocation, as GetProps and
// QueryRows hand them out.
#pragma once

#include <string>
#include <vector>

#include "addin/import/mapi.h"

namespace outlook_host {

class PropArrayBuilder {
 public:
  // `parent` null: the array is its own allocation; else it is tied to it.
  explicit PropArrayBuilder(ULONG count, void* parent = nullptr);
  ~PropArrayBuilder();
  PropArrayBuilder(const PropArrayBuilder&) = delete;
  PropArrayBuilder& operator=(const PropArrayBuilder&) = delete;

  bool ok() const { return props_ != nullptr; }
  void SetLong(ULONG i, ULONG tag, LONG value);
  void SetBool(ULONG i, ULONG tag, bool value);
  void SetTime(ULONG i, ULONG tag, std::int64_t unixSeconds);
  bool SetText(ULONG i, ULONG tag, std::u16string_view text);
  bool SetBinary(ULONG i, ULONG tag, const std::vector<BYTE>& bytes);
  // Marks a property missing (PT_ERROR with the code).
  void SetError(ULONG i, ULONG tag, SCODE code);
  // Hands the array to the caller.
  SPropValue* Release();

 private:
  SPropValue* props_ = nullptr;
  bool owned_ = true;
};

// Answers GetProps for `tags` (null: every tag of `all`): `fill(builder, i,
// tag)` sets value i and returns false when the object has no such
// property, which then reads as MAPI_E_NOT_FOUND and makes the result
// MAPI_W_ERRORS_RETURNED.
template <class Fill>
HRESULT AnswerGetProps(const SPropTagArray* tags, const std::vector<ULONG>& all, Fill&& fill, ULONG* count,
                       SPropValue** props) {
  if (!count || !props) return MAPI_E_INVALID_PARAMETER;
  *count = 0;
  *props = nullptr;
  if (tags && tags->cValues && !tags->aulPropTag) return MAPI_E_INVALID_PARAMETER;
  const ULONG n = tags ? tags->cValues : static_cast<ULONG>(all.size());
  PropArrayBuilder builder(n);
  if (!builder.ok()) return MAPI_E_NOT_ENOUGH_MEMORY;
  bool missing = false;
  for (ULONG i = 0; i < n; ++i) {
    const ULONG tag = tags ? tags->aulPropTag[i] : all[i];
    if (!fill(builder, i, tag)) {
      builder.SetError(i, tag, MAPI_E_NOT_FOUND);
      missing = true;
    }
  }
  *count = n;
  *props = builder.Release();
  return missing ? MAPI_W_ERRORS_RETURNED : S_OK;
}

// Collects SetProps problems and hands them out as MAPI allocation.
class ProblemList {
 public:
  void Add(ULONG index, ULONG tag, SCODE code) { problems_.push_back({index, tag, code}); }
  HRESULT Deliver(SPropProblemArray** out) const;

 private:
  std::vector<SPropProblem> problems_;
};

constexpr HRESULT MAPI_E_INVALID_TYPE = static_cast<HRESULT>(0x80040302);

}  // namespace outlook_host
