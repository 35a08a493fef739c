#include "Project.VCL.Accessibility.h"

#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Controls.WindowProc.h"
#include "Project.VCL.AxButton.h"
#include "Project.VCL.AxLabel.h"
#include "Velqora.DllRoutines.h"

namespace Project::VCL {

namespace {

using Velqora::DllRoutines;

// The import library's IID_IAccessible can resolve to a thunk, which no
// QueryInterface matches: the ids are spelled out.
constexpr IID IIDAccessible{0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr IID IIDDispatch{0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IIDUnknown{0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// oleacc is no KnownDLL: bound from the system folder, and only once a
// client asks. The texts handed out are oleaut32's strings.
constinit DllRoutines::TRoutine<LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN)> LresultFromObject{
    L"oleacc.dll", "LresultFromObject"};
constinit DllRoutines::TRoutine<HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**)> AccessibleObjectFromWindow{
    L"oleacc.dll", "AccessibleObjectFromWindow"};
constinit DllRoutines::TRoutine<BSTR(WINAPI*)(const OLECHAR*, UINT)> SysAllocStringLen{L"oleaut32.dll",
                                                                                       "SysAllocStringLen"};

// The apartment the first request asked for (GUI thread only): tried once;
// entered means Stop leaves it again; usable means calls come through the
// GUI thread's messages (not so when the thread was multithreaded before).
bool ApartmentTried = false, ApartmentEntered = false, ApartmentUsable = false;

const wchar_t* const ActionPress = L"Press";
const wchar_t* const ActionJump = L"Jump";

// What a child id names: the control itself, a child control of a
// container, or a link of a label.
struct TTarget {
  Gui::TControl* Control = nullptr;
  int Link = 0;  // > 0: this link of the label Control
};

TAxCustomButton* AsButton(Gui::TControl* AControl) { return dynamic_cast<TAxCustomButton*>(AControl); }
TAxCustomLabel* AsLabel(Gui::TControl* AControl) { return dynamic_cast<TAxCustomLabel*>(AControl); }
Gui::TWinControl* AsWindowed(Gui::TControl* AControl) { return dynamic_cast<Gui::TWinControl*>(AControl); }
// Buttons and labels have no child controls for a client.
bool IsContainer(Gui::TControl* AControl) { return AControl && !AsButton(AControl) && !AsLabel(AControl); }

// The child controls a client reads inside AParent: the visible ones with
// a window and the visible windowless ones with a name, in reading order:
// top to bottom, then left to right; creation order among equals.
std::vector<Gui::TControl*> Children(const Gui::TWinControl& AParent) {
  std::vector<Gui::TControl*> list;
  for (int i = 0; i < AParent.ControlCount(); ++i) {
    Gui::TControl* c = AParent.GetControl(i);
    if (!c->GetVisible()) continue;
    auto windowed = AsWindowed(c);
    if (windowed ? windowed->HandleAllocated() : !c->GetAccessibleName().empty()) list.push_back(c);
  }
  // Sorted by insertion: few children, equals keep their order, and far
  // less code than a library sort that keeps them.
  auto before = [](const Gui::TControl* A, const Gui::TControl* B) {
    return A->GetTop() != B->GetTop() ? A->GetTop() < B->GetTop() : A->GetLeft() < B->GetLeft();
  };
  for (size_t i = 1; i < list.size(); ++i)
    for (size_t j = i; j > 0 && before(list[j], list[j - 1]); --j) std::swap(list[j], list[j - 1]);
  return list;
}

// A caption without the marks of its mnemonic: "&&" stands for "&".
std::wstring WithoutMnemonic(const std::wstring& ACaption) {
  std::wstring text;
  for (size_t i = 0; i < ACaption.size(); ++i) {
    if (ACaption[i] == L'&' && ++i == ACaption.size()) break;
    text += ACaption[i];
  }
  return text;
}

bool IsEnabledWithParents(const Gui::TControl* AControl) {
  for (const Gui::TControl* c = AControl; c; c = c->GetParent())
    if (!c->GetEnabled()) return false;
  return true;
}

HRESULT ReturnText(const std::wstring& AText, BSTR* AResult) {
  if (AText.empty()) return S_FALSE;
  *AResult = SysAllocStringLen.Get()(AText.data(), UINT(AText.size()));
  return *AResult ? S_OK : E_OUTOFMEMORY;
}

// A query: what it raises answers E_FAIL.
template <typename F>
HRESULT Answer(F&& AStep) noexcept {
  try {
    return AStep();
  } catch (...) {
    return E_FAIL;
  }
}

// An action: what its handlers raise is reported as the window procedure
// reports it, and answers E_FAIL.
template <typename F>
HRESULT Act(F&& AStep) noexcept {
  try {
    return AStep();
  } catch (...) {
    Gui::ReportError(std::current_exception());
    return E_FAIL;
  }
}

class TAccessibleObject final : public IAccessible {
public:
  explicit TAccessibleObject(HWND AWnd) noexcept : FWnd(AWnd) {}
  TAccessibleObject(const TAccessibleObject&) = delete;
  TAccessibleObject& operator=(const TAccessibleObject&) = delete;

  // A new object for a control's window, handed to the caller.
  static HRESULT Create(Gui::TControl* AControl, IDispatch** AResult) {
    HWND wnd = static_cast<Gui::TWinControl*>(AControl)->GetHandleIfAllocated();
    if (!wnd) return E_FAIL;
    *AResult = new TAccessibleObject(wnd);
    return S_OK;
  }

  // ---- IUnknown ----
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIID, void** AObject) override {
    if (!AObject) return E_POINTER;
    if (IsEqualIID(AIID, IIDAccessible) || IsEqualIID(AIID, IIDDispatch) || IsEqualIID(AIID, IIDUnknown)) {
      *AObject = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *AObject = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&FRefs)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG refs = InterlockedDecrement(&FRefs);
    if (refs == 0) delete this;
    return ULONG(refs);
  }

  // ---- IDispatch: no type information; clients call IAccessible ----
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* ACount) override {
    if (!ACount) return E_INVALIDARG;
    *ACount = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** AInfo) override {
    if (AInfo) *AInfo = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // ---- IAccessible ----
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** AParent) override {
    if (!AParent) return E_INVALIDARG;
    *AParent = nullptr;
    return Answer([&]() -> HRESULT {
      Gui::TWinControl* self = Self();
      if (!self) return RPC_E_DISCONNECTED;
      if (Gui::TWinControl* parent = self->GetParent(); parent && parent->HandleAllocated())
        return Create(parent, AParent);
      // A window without a parent control: the system's object of its frame.
      return AccessibleObjectFromWindow.Get()(FWnd, DWORD(OBJID_WINDOW), IIDDispatch,
                                              reinterpret_cast<void**>(AParent));
    });
  }

  HRESULT STDMETHODCALLTYPE get_accChildCount(long* ACount) override {
    if (!ACount) return E_INVALIDARG;
    *ACount = 0;
    return Answer([&]() -> HRESULT {
      Gui::TWinControl* self = Self();
      if (!self) return RPC_E_DISCONNECTED;
      if (TAxCustomLabel* label = AsLabel(self))
        *ACount = label->GetLinkCount();
      else if (IsContainer(self))
        *ACount = long(Children(*self).size());
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT AChild, IDispatch** ADispatch) override {
    if (!ADispatch) return E_INVALIDARG;
    *ADispatch = nullptr;
    return Answer([&]() -> HRESULT {
      TTarget target;
      HRESULT hr = Resolve(AChild, target);
      if (FAILED(hr)) return hr;
      if (AChild.lVal == CHILDID_SELF) return E_INVALIDARG;
      if (target.Link || !AsWindowed(target.Control)) return S_FALSE;  // answered by this object
      return Create(target.Control, ADispatch);
    });
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT AChild, BSTR* AName) override {
    if (!AName) return E_INVALIDARG;
    *AName = nullptr;
    return Answer([&]() -> HRESULT {
      TTarget target;
      HRESULT hr = Resolve(AChild, target);
      return FAILED(hr) ? hr : ReturnText(Name(target), AName);
    });
  }

  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT AChild, BSTR* AValue) override { return NoText(AChild, AValue); }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT AChild, BSTR* AText) override { return NoText(AChild, AText); }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT AChild, BSTR* AText) override { return NoText(AChild, AText); }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT AChild, BSTR* AText) override {
    return NoText(AChild, AText);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* AFile, VARIANT AChild, long* ATopic) override {
    if (!AFile || !ATopic) return E_INVALIDARG;
    *ATopic = 0;
    return NoText(AChild, AFile);
  }

  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT AChild, VARIANT* ARole) override {
    if (!ARole) return E_INVALIDARG;
    ARole->vt = VT_EMPTY;
    return Answer([&]() -> HRESULT {
      TTarget target;
      HRESULT hr = Resolve(AChild, target);
      if (FAILED(hr)) return hr;
      ARole->vt = VT_I4;
      ARole->lVal = target.Link                  ? ROLE_SYSTEM_LINK
                    : AsButton(target.Control)   ? ROLE_SYSTEM_PUSHBUTTON
                    : AsLabel(target.Control)    ? ROLE_SYSTEM_STATICTEXT
                    : AsWindowed(target.Control) ? ROLE_SYSTEM_CLIENT
                                                 : ROLE_SYSTEM_GRAPHIC;
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE get_accState(VARIANT AChild, VARIANT* AState) override {
    if (!AState) return E_INVALIDARG;
    AState->vt = VT_EMPTY;
    return Answer([&]() -> HRESULT {
      TTarget target;
      HRESULT hr = Resolve(AChild, target);
      if (FAILED(hr)) return hr;
      AState->vt = VT_I4;
      AState->lVal = State(target);
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* AFocus) override {
    if (!AFocus) return E_INVALIDARG;
    AFocus->vt = VT_EMPTY;
    return Answer([&]() -> HRESULT {
      Gui::TWinControl* self = Self();
      if (!self) return RPC_E_DISCONNECTED;
      HWND focus = GetFocus();
      if (focus && focus == FWnd) return ChildId(self->AccessibleFocusChild(), AFocus);
      if (!focus || !IsContainer(self)) return S_FALSE;
      // The child that has the focus or holds the control that has it.
      for (Gui::TControl* c : Children(*self))
        if (auto w = AsWindowed(c); w && (w->GetHandle() == focus || IsChild(w->GetHandle(), focus)))
          return ChildObject(w, AFocus);
      return S_FALSE;
    });
  }

  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* ASelection) override {
    if (!ASelection) return E_INVALIDARG;
    ASelection->vt = VT_EMPTY;
    return Self() ? S_FALSE : RPC_E_DISCONNECTED;
  }

  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT AChild, BSTR* AAction) override {
    if (!AAction) return E_INVALIDARG;
    *AAction = nullptr;
    return Answer([&]() -> HRESULT {
      TTarget target;
      HRESULT hr = Resolve(AChild, target);
      if (FAILED(hr)) return hr;
      if (target.Link) return ReturnText(ActionJump, AAction);
      if (AsButton(target.Control)) return ReturnText(ActionPress, AAction);
      return DISP_E_MEMBERNOTFOUND;
    });
  }

  HRESULT STDMETHODCALLTYPE accSelect(long AFlags, VARIANT AChild) override {
    return Act([&]() -> HRESULT {
      TTarget target;
      HRESULT hr = Resolve(AChild, target);
      if (FAILED(hr)) return hr;
      // Only the focus can be given: nothing here has a selection.
      if (AFlags != SELFLAG_TAKEFOCUS) return DISP_E_MEMBERNOTFOUND;
      if (target.Link) {
        TAxCustomLabel* label = AsLabel(target.Control);
        label->FocusLink(target.Link);
        return label->Focused() && label->FocusedLinkID() == target.Link ? S_OK : S_FALSE;
      }
      Gui::TWinControl* windowed = AsWindowed(target.Control);
      if (!windowed) return DISP_E_MEMBERNOTFOUND;
      windowed->SetFocus();
      return windowed->Focused() ? S_OK : S_FALSE;
    });
  }

  HRESULT STDMETHODCALLTYPE accLocation(long* ALeft, long* ATop, long* AWidth, long* AHeight,
                                        VARIANT AChild) override {
    if (!ALeft || !ATop || !AWidth || !AHeight) return E_INVALIDARG;
    *ALeft = *ATop = *AWidth = *AHeight = 0;
    return Answer([&]() -> HRESULT {
      TTarget target;
      HRESULT hr = Resolve(AChild, target);
      if (FAILED(hr)) return hr;
      const RECT r = ScreenRect(target);
      *ALeft = r.left;
      *ATop = r.top;
      *AWidth = r.right - r.left;
      *AHeight = r.bottom - r.top;
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE accNavigate(long ADirection, VARIANT AStart, VARIANT* AEnd) override {
    if (!AEnd) return E_INVALIDARG;
    AEnd->vt = VT_EMPTY;
    return Answer([&]() -> HRESULT {
      TTarget target;
      HRESULT hr = Resolve(AStart, target);
      if (FAILED(hr)) return hr;
      Gui::TWinControl* self = Self();
      const LONG start = AStart.lVal;
      switch (ADirection) {
        case NAVDIR_FIRSTCHILD:
        case NAVDIR_LASTCHILD: {
          if (start != CHILDID_SELF) return E_INVALIDARG;
          const LONG count = ChildCount(self);
          if (count == 0) return S_FALSE;
          return Child(self, ADirection == NAVDIR_FIRSTCHILD ? 1 : count, AEnd);
        }
        case NAVDIR_NEXT:
        case NAVDIR_PREVIOUS: {
          const LONG step = ADirection == NAVDIR_NEXT ? 1 : -1;
          if (start != CHILDID_SELF) {
            const LONG id = start + step;
            return id >= 1 && id <= ChildCount(self) ? Child(self, id, AEnd) : S_FALSE;
          }
          // From the object itself to a sibling with an object of its own;
          // a windowless sibling is reached through the parent.
          Gui::TWinControl* parent = self->GetParent();
          if (!parent) return S_FALSE;
          const std::vector<Gui::TControl*> siblings = Children(*parent);
          const auto at = std::find(siblings.begin(), siblings.end(), self) - siblings.begin();
          const auto next = at + step;
          if (size_t(at) == siblings.size() || next < 0 || size_t(next) >= siblings.size() ||
              !AsWindowed(siblings[size_t(next)]))
            return S_FALSE;
          return ChildObject(siblings[size_t(next)], AEnd);
        }
        default:
          return DISP_E_MEMBERNOTFOUND;  // no spatial navigation
      }
    });
  }

  HRESULT STDMETHODCALLTYPE accHitTest(long AX, long AY, VARIANT* AHit) override {
    if (!AHit) return E_INVALIDARG;
    AHit->vt = VT_EMPTY;
    return Answer([&]() -> HRESULT {
      Gui::TWinControl* self = Self();
      if (!self) return RPC_E_DISCONNECTED;
      POINT p{AX, AY};
      const RECT mine = ScreenRect({self, 0});
      if (!PtInRect(&mine, p)) return S_FALSE;
      ScreenToClient(FWnd, &p);
      if (TAxCustomLabel* label = AsLabel(self)) return ChildId(std::max(LONG(label->GetLinkAt(p)), LONG(CHILDID_SELF)), AHit);
      if (!IsContainer(self)) return ChildId(CHILDID_SELF, AHit);
      // Windows lie above the windowless controls their parent paints.
      const std::vector<Gui::TControl*> children = Children(*self);
      HWND under = ChildWindowFromPointEx(FWnd, p, CWP_SKIPINVISIBLE);
      for (Gui::TControl* c : children)
        if (auto w = AsWindowed(c); w && w->GetHandle() == under) return ChildObject(w, AHit);
      for (size_t i = 0; i < children.size(); ++i) {
        const RECT r = children[i]->GetBoundsRect();
        if (!AsWindowed(children[i]) && PtInRect(&r, p)) return ChildId(LONG(i + 1), AHit);
      }
      return ChildId(CHILDID_SELF, AHit);
    });
  }

  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT AChild) override {
    return Act([&]() -> HRESULT {
      TTarget target;
      HRESULT hr = Resolve(AChild, target);
      if (FAILED(hr)) return hr;
      if (target.Link) {
        // As a click on it: a disabled or hidden label takes no clicks.
        TAxCustomLabel* label = AsLabel(target.Control);
        if (!IsEnabledWithParents(label) || !label->IsShowing()) return E_FAIL;
        label->ClickLink(target.Link);
        return S_OK;
      }
      if (TAxCustomButton* button = AsButton(target.Control)) {
        if (!button->CanFocus()) return E_FAIL;
        button->Press();
        return S_OK;
      }
      return DISP_E_MEMBERNOTFOUND;
    });
  }

  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
  ~TAccessibleObject() = default;

  // The control behind the window; none once the window is gone or the
  // control is being freed.
  Gui::TWinControl* Self() const noexcept {
    if (!IsWindow(FWnd)) return nullptr;
    Gui::TWinControl* control = Gui::TWinControl::FromHandle(FWnd);
    return control && !control->GetComponentState().Contains(Gui::csDestroying) ? control : nullptr;
  }

  // What AChild names; E_INVALIDARG for no such child.
  HRESULT Resolve(const VARIANT& AChild, TTarget& ATarget) const {
    Gui::TWinControl* self = Self();
    if (!self) return RPC_E_DISCONNECTED;
    if (AChild.vt != VT_I4) return E_INVALIDARG;
    const LONG id = AChild.lVal;
    ATarget = {self, 0};
    if (id == CHILDID_SELF) return S_OK;
    if (id < 1 || id > ChildCount(self)) return E_INVALIDARG;
    if (AsLabel(self))
      ATarget.Link = int(id);
    else
      ATarget.Control = Children(*self)[size_t(id - 1)];
    return S_OK;
  }

  static LONG ChildCount(Gui::TWinControl* ASelf) {
    if (TAxCustomLabel* label = AsLabel(ASelf)) return label->GetLinkCount();
    return IsContainer(ASelf) ? LONG(Children(*ASelf).size()) : 0;
  }

  // Child AId of ASelf for a client: an object of its own for a windowed
  // control, else its number.
  static HRESULT Child(Gui::TWinControl* ASelf, LONG AId, VARIANT* AResult) {
    if (!AsLabel(ASelf))
      if (Gui::TControl* c = Children(*ASelf)[size_t(AId - 1)]; AsWindowed(c)) return ChildObject(c, AResult);
    return ChildId(AId, AResult);
  }
  static HRESULT ChildObject(Gui::TControl* AControl, VARIANT* AResult) {
    IDispatch* object = nullptr;
    const HRESULT hr = Create(AControl, &object);
    if (FAILED(hr)) return hr;
    AResult->vt = VT_DISPATCH;
    AResult->pdispVal = object;
    return S_OK;
  }
  static HRESULT ChildId(LONG AId, VARIANT* AResult) {
    AResult->vt = VT_I4;
    AResult->lVal = AId;
    return S_OK;
  }

  HRESULT NoText(const VARIANT& AChild, BSTR* AText) {
    if (!AText) return E_INVALIDARG;
    *AText = nullptr;
    return Answer([&]() -> HRESULT {
      TTarget target;
      HRESULT hr = Resolve(AChild, target);
      return FAILED(hr) ? hr : S_FALSE;
    });
  }

  static std::wstring Name(const TTarget& ATarget) {
    if (ATarget.Link) return AsLabel(ATarget.Control)->GetLinkText(ATarget.Link);
    if (!ATarget.Control->GetAccessibleName().empty()) return ATarget.Control->GetAccessibleName();
    if (AsButton(ATarget.Control)) return WithoutMnemonic(ATarget.Control->GetCaption());
    if (TAxCustomLabel* label = AsLabel(ATarget.Control)) return label->GetShownText();
    return {};
  }

  static LONG State(const TTarget& ATarget) {
    Gui::TControl* control = ATarget.Control;
    LONG state = IsEnabledWithParents(control) ? 0 : STATE_SYSTEM_UNAVAILABLE;
    if (ATarget.Link) {
      TAxCustomLabel* label = AsLabel(control);
      state |= STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED;
      if (label->Focused() && label->FocusedLinkID() == ATarget.Link) state |= STATE_SYSTEM_FOCUSED;
      // Cut off by the ellipsis: still reached with Tab.
      const RECT shown = label->GetShownLinkRect(ATarget.Link);
      if (IsRectEmpty(&shown)) state |= STATE_SYSTEM_OFFSCREEN;
      return state;
    }
    Gui::TWinControl* windowed = AsWindowed(control);
    if (!control->IsShowing() || (windowed && !IsWindowVisible(windowed->GetHandleIfAllocated())))
      state |= STATE_SYSTEM_INVISIBLE;
    if (!windowed) return state | STATE_SYSTEM_READONLY;
    if (windowed->Focused()) state |= STATE_SYSTEM_FOCUSED;
    if (TAxCustomButton* button = AsButton(windowed)) {
      if (button->CanFocus()) state |= STATE_SYSTEM_FOCUSABLE;
      if (button->UIMainState().State() == TUIControlState::uicsPressed) state |= STATE_SYSTEM_PRESSED;
      if (button->GetDefault()) state |= STATE_SYSTEM_DEFAULT;
    } else if (TAxCustomLabel* label = AsLabel(windowed)) {
      state |= STATE_SYSTEM_READONLY;
      if (label->CanFocus()) state |= STATE_SYSTEM_FOCUSABLE;
    } else if ((windowed->IsTopLevel() || windowed->GetTabStop()) && windowed->CanFocus()) {
      state |= STATE_SYSTEM_FOCUSABLE;
    }
    return state;
  }

  // Where the target is on the screen: a window's client area, a
  // windowless control's bounds, a link's first shown piece.
  static RECT ScreenRect(const TTarget& ATarget) {
    RECT r{};
    HWND from = nullptr;
    if (ATarget.Link) {
      TAxCustomLabel* label = AsLabel(ATarget.Control);
      r = label->GetShownLinkRect(ATarget.Link);
      from = label->GetHandle();
    } else if (Gui::TWinControl* windowed = AsWindowed(ATarget.Control)) {
      from = windowed->GetHandle();
      GetClientRect(from, &r);
    } else {
      r = ATarget.Control->GetBoundsRect();
      from = ATarget.Control->GetParent()->GetHandle();
    }
    if (!IsRectEmpty(&r)) MapWindowPoints(from, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  LONG FRefs = 1;
  const HWND FWnd;
};

bool EnterApartment() noexcept {
  if (!ApartmentTried) {
    ApartmentTried = true;
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // S_FALSE: the thread was single-threaded before; it counts all the same.
    ApartmentEntered = ApartmentUsable = SUCCEEDED(hr);
  }
  return ApartmentUsable;
}

LRESULT AnswerGetObject(Gui::TWinControl& AControl, WPARAM AWParam) noexcept {
  try {
    auto fromObject = LresultFromObject.Find();
    if (!fromObject || !EnterApartment()) return 0;
    auto object = new TAccessibleObject(AControl.GetHandleIfAllocated());
    const LRESULT result = fromObject(IIDAccessible, AWParam, static_cast<IAccessible*>(object));
    object->Release();
    return result > 0 ? result : 0;  // an error: the system answers
  } catch (...) {
    return 0;
  }
}

}  // namespace

void TAccessibility::Start() { Gui::SetAccessibleObjectFactory(AnswerGetObject); }

void TAccessibility::Stop() {
  Gui::SetAccessibleObjectFactory(nullptr);
  if (ApartmentEntered) CoUninitialize();
  ApartmentTried = ApartmentEntered = ApartmentUsable = false;
}

}  // namespace Project::VCL
