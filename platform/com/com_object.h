// ComObject: the reference count and QueryInterface of an object that
// implements the interfaces it derives from. The count is atomic, so
// references may be taken and dropped on any thread; the object's own state
// needs its own lock when it is used from two threads.
//
//   class CThing : public ComObject<IFoo, IBar> { ... };
//   ComPtr<IFoo> foo = MakeComObject<CThing>(args...);
#pragma once

#include <atomic>
#include <utility>

#include "platform/com/com_ptr.h"

namespace com_detail {

template <class I>
concept HasBaseInterface = requires { typename I::BaseInterface; };

// Finds `iid` in I or the interfaces it extends; `self` is the object as I.
template <class I>
bool FindInterface(I* self, REFIID iid, void** out) {
  if (iid == I::kIid) {
    *out = self;
    return true;
  }
  if constexpr (HasBaseInterface<I>)
    return FindInterface<typename I::BaseInterface>(self, iid, out);
  return false;
}

template <class First, class... Rest>
struct FirstOf {
  using type = First;
};

}  // namespace com_detail

template <class... Interfaces>
class ComObject : public Interfaces... {
 public:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown) {
      *object = static_cast<IUnknown*>(static_cast<typename com_detail::FirstOf<Interfaces...>::type*>(this));
    } else if (!(com_detail::FindInterface<Interfaces>(static_cast<Interfaces*>(this), iid, object) || ...)) {
      *object = QueryOtherInterface(iid);
      if (!*object) return E_NOINTERFACE;
    }
    static_cast<IUnknown*>(*object)->AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG Release() override {
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~ComObject() = default;
  // Interfaces the object answers for beyond the ones it derives from (a
  // private interface, a tear-off); the result is not yet AddRef'd.
  virtual IUnknown* QueryOtherInterface(REFIID) { return nullptr; }

 private:
  std::atomic<ULONG> refs_{0};
};

// Creates a T and returns the first reference to it as I.
template <class T, class I = T, class... Args>
ComPtr<I> MakeComObject(Args&&... args) {
  return ComPtr<I>(static_cast<I*>(new T(std::forward<Args>(args)...)));
}
