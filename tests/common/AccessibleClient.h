// A small accessibility client, as a screen reader walks windows: through
// oleacc's functions only (AccessibleObjectFromWindow, AccessibleChildren)
// and the objects' IAccessible, in this process or across processes. The
// caller's thread needs a COM apartment (TComApartment).
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <string>
#include <utility>
#include <vector>

#include "ComObjects.h"

namespace Testing {

// The import library's IID_IAccessible can resolve to a thunk: spelled out.
inline constexpr IID IIDAccessible{0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

// A single-threaded COM apartment for the scope (calls from other
// processes arrive through the thread's messages).
using Velqora::TComApartment;

// One reference to an IAccessible.
class TAccessibleRef {
public:
  TAccessibleRef() = default;
  explicit TAccessibleRef(IAccessible* AObject) : FObject(AObject) {}  // takes the reference over
  TAccessibleRef(const TAccessibleRef& AOther) : FObject(AOther.FObject) {
    if (FObject) FObject->AddRef();
  }
  TAccessibleRef& operator=(TAccessibleRef AOther) {
    std::swap(FObject, AOther.FObject);
    return *this;
  }
  ~TAccessibleRef() {
    if (FObject) FObject->Release();
  }
  IAccessible* operator->() const { return FObject; }
  IAccessible* Get() const { return FObject; }
  explicit operator bool() const { return FObject != nullptr; }

private:
  IAccessible* FObject = nullptr;
};

inline VARIANT ChildVariant(LONG AChild) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = AChild;
  return v;
}

// A text property's value; empty when there is none.
inline std::wstring TakeText(BSTR AText) {
  std::wstring text = AText ? std::wstring(AText, SysStringLen(AText)) : std::wstring();
  SysFreeString(AText);
  return text;
}

// An object, or a simple element of its parent, as a client reads it.
struct TAccessibleItem {
  TAccessibleRef Object;  // the object that answers for it
  LONG Child = CHILDID_SELF;
  int Depth = 0;
  LONG Role = 0, State = 0;
  std::wstring Name, DefaultAction;
  RECT Location{};  // on the screen

  VARIANT Id() const { return ChildVariant(Child); }
  HRESULT DoDefaultAction() const { return Object->accDoDefaultAction(Id()); }
  bool Has(LONG AState) const { return (State & AState) == AState; }

  // Reads what it is from its object.
  void Read() {
    const VARIANT id = Id();
    BSTR text = nullptr;
    Object->get_accName(id, &text);
    Name = TakeText(text);
    text = nullptr;
    Object->get_accDefaultAction(id, &text);
    DefaultAction = TakeText(text);
    VARIANT v;
    VariantInit(&v);
    if (SUCCEEDED(Object->get_accRole(id, &v)) && v.vt == VT_I4) Role = v.lVal;
    VariantClear(&v);
    if (SUCCEEDED(Object->get_accState(id, &v)) && v.vt == VT_I4) State = v.lVal;
    VariantClear(&v);
    long x = 0, y = 0, w = 0, h = 0;
    if (SUCCEEDED(Object->accLocation(&x, &y, &w, &h, id))) Location = {x, y, x + w, y + h};
  }
};

// The client object of AWnd (OBJID_CLIENT), as the window answers for it.
inline TAccessibleRef AccessibleOfWindow(HWND AWnd) {
  IAccessible* object = nullptr;
  if (FAILED(AccessibleObjectFromWindow(AWnd, DWORD(OBJID_CLIENT), IIDAccessible, reinterpret_cast<void**>(&object))))
    return {};
  return TAccessibleRef(object);
}

// Everything below an object, depth first: the object itself, then each
// child in the order AccessibleChildren gives them (an object of its own
// walked in turn, a simple element read through its parent).
inline void WalkAccessible(const TAccessibleRef& AObject, int ADepth, std::vector<TAccessibleItem>& AItems) {
  TAccessibleItem self;
  self.Object = AObject;
  self.Depth = ADepth;
  self.Read();
  AItems.push_back(self);
  long count = 0;
  if (FAILED(AObject->get_accChildCount(&count)) || count <= 0) return;
  std::vector<VARIANT> children(static_cast<size_t>(count));
  long got = 0;
  if (FAILED(AccessibleChildren(AObject.Get(), 0, count, children.data(), &got))) return;
  for (long i = 0; i < got; ++i) {
    VARIANT& child = children[size_t(i)];
    if (child.vt == VT_DISPATCH && child.pdispVal) {
      IAccessible* object = nullptr;
      child.pdispVal->QueryInterface(IIDAccessible, reinterpret_cast<void**>(&object));
      if (object) WalkAccessible(TAccessibleRef(object), ADepth + 1, AItems);
    } else if (child.vt == VT_I4) {
      TAccessibleItem element;
      element.Object = AObject;
      element.Child = child.lVal;
      element.Depth = ADepth + 1;
      element.Read();
      AItems.push_back(element);
    }
    VariantClear(&child);
  }
}

inline std::vector<TAccessibleItem> WalkAccessible(HWND AWnd) {
  std::vector<TAccessibleItem> items;
  if (TAccessibleRef root = AccessibleOfWindow(AWnd)) WalkAccessible(root, 0, items);
  return items;
}

// What a reader reads out, in order: the role and name of everything that
// has a name.
inline std::vector<std::pair<LONG, std::wstring>> Reading(const std::vector<TAccessibleItem>& AItems) {
  std::vector<std::pair<LONG, std::wstring>> reading;
  for (const TAccessibleItem& item : AItems)
    if (!item.Name.empty()) reading.emplace_back(item.Role, item.Name);
  return reading;
}

// The events (EVENT_OBJECT_...) of this process's windows between the
// recorder's making and its end, as a screen reader hears them; they arrive
// while the thread processes messages. One recorder at a time.
class TWinEventRecorder {
public:
  struct TEvent {
    DWORD Event;
    HWND Wnd;
    LONG Object, Child;
  };
  TWinEventRecorder(DWORD AFirst, DWORD ALast)
      : FHook(SetWinEventHook(AFirst, ALast, nullptr, Record, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT)) {
    Current = this;
  }
  ~TWinEventRecorder() {
    if (FHook) UnhookWinEvent(FHook);
    Current = nullptr;
  }
  TWinEventRecorder(const TWinEventRecorder&) = delete;
  TWinEventRecorder& operator=(const TWinEventRecorder&) = delete;

  bool Hooked() const { return FHook != nullptr; }
  std::vector<TEvent> Events;

private:
  static void CALLBACK Record(HWINEVENTHOOK, DWORD AEvent, HWND AWnd, LONG AObject, LONG AChild, DWORD, DWORD) {
    if (Current) Current->Events.push_back({AEvent, AWnd, AObject, AChild});
  }
  static inline TWinEventRecorder* Current = nullptr;
  HWINEVENTHOOK FHook;
};

// What a reader speaks for an event: the object or element it names, read
// through AccessibleObjectFromEvent.
inline TAccessibleItem AccessibleOfEvent(const TWinEventRecorder::TEvent& AEvent) {
  TAccessibleItem item;
  IAccessible* object = nullptr;
  VARIANT child;
  VariantInit(&child);
  if (FAILED(AccessibleObjectFromEvent(AEvent.Wnd, DWORD(AEvent.Object), DWORD(AEvent.Child), &object, &child)) ||
      !object)
    return item;
  item.Object = TAccessibleRef(object);
  item.Child = child.vt == VT_I4 ? child.lVal : CHILDID_SELF;
  item.Read();
  return item;
}

// The first item with that role and name; null when there is none.
inline const TAccessibleItem* FindAccessible(const std::vector<TAccessibleItem>& AItems, LONG ARole,
                                             const std::wstring& AName) {
  for (const TAccessibleItem& item : AItems)
    if (item.Role == ARole && item.Name == AName) return &item;
  return nullptr;
}

}  // namespace Testing
