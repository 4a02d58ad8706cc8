#include "platform/com/apartment.h"

#include <mutex>

#include "platform/com/com_object.h"

namespace {

thread_local int t_initCount = 0;
thread_local DWORD t_apartment = 0;

// What a marshalling stream holds besides its (empty) bytes.
struct IMarshalledReference : IUnknown {
  static constexpr IID kIid = {0x5A0C6B1E, 0x43D2, 0x4F0B, {0x9B, 0x61, 0x2E, 0x7D, 0x11, 0xC4, 0x08, 0x3A}};
  virtual HRESULT TakeReference(IUnknown** object) = 0;
};

class CMarshalStream : public ComObject<IStream, IMarshalledReference> {
 public:
  explicit CMarshalStream(ComPtr<IUnknown> object) : object_(std::move(object)) {}

  HRESULT Read(void*, ULONG, ULONG* read) override {
    if (read) *read = 0;
    return S_OK;
  }
  HRESULT Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
  HRESULT Seek(LONGLONG, DWORD, ULONGLONG* newPosition) override {
    if (newPosition) *newPosition = 0;
    return S_OK;
  }
  HRESULT Stat(STATSTG* stat, DWORD) override {
    if (!stat) return E_POINTER;
    stat->cbSize = 0;
    return S_OK;
  }

  HRESULT TakeReference(IUnknown** object) override {
    std::lock_guard lock(mutex_);
    if (!object_) return E_UNEXPECTED;
    *object = object_.Detach();
    return S_OK;
  }

 private:
  std::mutex mutex_;
  ComPtr<IUnknown> object_;
};

}  // namespace

HRESULT CoInitializeEx(void*, DWORD coinit) {
  if (coinit != COINIT_APARTMENTTHREADED && coinit != COINIT_MULTITHREADED) return E_INVALIDARG;
  if (t_initCount > 0) {
    if (t_apartment != coinit) return RPC_E_CHANGED_MODE;
    ++t_initCount;
    return S_FALSE;
  }
  t_apartment = coinit;
  t_initCount = 1;
  return S_OK;
}

void CoUninitialize() {
  if (t_initCount > 0) --t_initCount;
}

HRESULT CoMarshalInterThreadInterfaceInStream(REFIID iid, IUnknown* object, IStream** stream) {
  if (!stream) return E_POINTER;
  *stream = nullptr;
  if (!object) return E_INVALIDARG;
  ComPtr<IUnknown> held;
  const HRESULT hr = object->QueryInterface(iid, held.put_void());
  if (FAILED(hr)) return hr;
  *stream = MakeComObject<CMarshalStream, IStream>(std::move(held)).Detach();
  return S_OK;
}

HRESULT CoGetInterfaceAndReleaseStream(IStream* stream, REFIID iid, void** object) {
  if (!object) {
    if (stream) stream->Release();
    return E_POINTER;
  }
  *object = nullptr;
  if (!stream) return E_INVALIDARG;
  ComPtr<IStream> owned;
  owned.Attach(stream);
  ComPtr<IMarshalledReference> marshalled;
  HRESULT hr = owned.As(&marshalled);
  if (FAILED(hr)) return E_INVALIDARG;
  ComPtr<IUnknown> held;
  hr = marshalled->TakeReference(held.put());
  if (FAILED(hr)) return hr;
  return held->QueryInterface(iid, object);
}
