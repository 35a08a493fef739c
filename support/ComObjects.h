// COM on a thread: the apartment it joins for a while, and one reference to
// an object.
#pragma once

#include <objbase.h>

namespace Velqora {

// The calling thread joins a single-threaded COM apartment for the
// holder's life, unless it is in one already: a thread of the
// multi-threaded apartment (RPC_E_CHANGED_MODE) stays there and leaves
// nothing to undo.
class TComApartment {
public:
  TComApartment() noexcept : FEntered(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~TComApartment() {
    if (FEntered) CoUninitialize();
  }
  TComApartment(const TComApartment&) = delete;
  TComApartment& operator=(const TComApartment&) = delete;

private:
  bool FEntered;
};

// One reference to a COM object, released when the holder goes.
template <typename T>
class TComRef {
public:
  TComRef() = default;
  TComRef(const TComRef&) = delete;
  TComRef& operator=(const TComRef&) = delete;
  ~TComRef() {
    if (FObject) FObject->Release();
  }
  T* operator->() const { return FObject; }
  T* Get() const { return FObject; }
  // For the out-parameter of a call that makes the object; the holder must
  // be empty.
  T** Put() { return &FObject; }

private:
  T* FObject = nullptr;
};

}  // namespace Velqora
