#include "platform/com/stream.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <mutex>

#include "platform/com/com_object.h"

namespace {

// The largest size a memory stream grows to.
constexpr std::size_t kMaxStreamBytes = std::size_t{1} << 30;

class CMemoryStream : public ComObject<IStream> {
 public:
  explicit CMemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}

  HRESULT Read(void* data, ULONG size, ULONG* read) override {
    if (!data && size) return E_POINTER;
    std::lock_guard lock(mutex_);
    const std::size_t left = pos_ < bytes_.size() ? bytes_.size() - pos_ : 0;
    const std::size_t n = size < left ? size : left;
    if (n) std::memcpy(data, bytes_.data() + pos_, n);
    pos_ += n;
    if (read) *read = static_cast<ULONG>(n);
    return S_OK;
  }

  HRESULT Write(const void* data, ULONG size, ULONG* written) override {
    if (written) *written = 0;
    if (!data && size) return E_POINTER;
    std::lock_guard lock(mutex_);
    const std::size_t limit = Limit();
    if (pos_ > limit || size > limit - pos_) return E_OUTOFMEMORY;
    try {
      if (pos_ + size > bytes_.size()) bytes_.resize(pos_ + size);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;  // nothing written; the stream is as it was
    }
    if (size) std::memcpy(bytes_.data() + pos_, data, size);
    pos_ += size;
    if (written) *written = size;
    return S_OK;
  }

  HRESULT Seek(LONGLONG move, DWORD origin, ULONGLONG* newPosition) override {
    std::lock_guard lock(mutex_);
    LONGLONG base = 0;
    if (origin == STREAM_SEEK_CUR)
      base = static_cast<LONGLONG>(pos_);
    else if (origin == STREAM_SEEK_END)
      base = static_cast<LONGLONG>(bytes_.size());
    else if (origin != STREAM_SEEK_SET)
      return STG_E_INVALIDFUNCTION;
    // Before the start, or past what a memory stream may hold (the next
    // write would have to fill the gap): refused, the position unchanged.
    if (move < -base || move > static_cast<LONGLONG>(Limit()) - base) return STG_E_INVALIDFUNCTION;
    pos_ = static_cast<std::size_t>(base + move);
    if (newPosition) *newPosition = pos_;
    return S_OK;
  }

  HRESULT Stat(STATSTG* stat, DWORD) override {
    if (!stat) return E_POINTER;
    std::lock_guard lock(mutex_);
    stat->cbSize = bytes_.size();
    return S_OK;
  }

 private:
  // A stream made over more bytes than the cap may still be read and
  // rewritten in place.
  std::size_t Limit() const { return std::max(kMaxStreamBytes, bytes_.size()); }

  std::mutex mutex_;
  std::string bytes_;
  std::size_t pos_ = 0;
};

}  // namespace

HRESULT CreateStreamOnHGlobal(void* global, BOOL, IStream** stream) {
  if (!stream) return E_POINTER;
  *stream = nullptr;
  if (global) return E_INVALIDARG;
  return CreateStreamOnBytes({}, stream);
}

HRESULT CreateStreamOnBytes(std::string bytes, IStream** stream) {
  if (!stream) return E_POINTER;
  *stream = MakeComObject<CMemoryStream, IStream>(std::move(bytes)).Detach();
  return S_OK;
}
