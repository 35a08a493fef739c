// Windows of our controls: the class registry, the one window procedure, the
// link from a window to its control, where the window procedure's errors go,
// and how window messages reach the controls' virtual functions.
#include "Controls.WindowProc.h"

#include <windowsx.h>

#include "Velqora.System.SysUtils.h"

namespace Gui {

// ---- errors caught in the window procedure ----

namespace {
// The GUI runs on one thread.
TErrorScope* Innermost = nullptr;
}  // namespace


// ---- accessibility ----

namespace {
TAccessibleObjectFactory AccessibleObjectFactory = nullptr;
}  // namespace

void SetAccessibleObjectFactory(TAccessibleObjectFactory AFactory) { AccessibleObjectFactory = AFactory; }

void TWinControl::NotifyAccessible(DWORD AEvent, LONG AChild) const {
  if (FHandle) NotifyWinEvent(AEvent, FHandle, OBJID_CLIENT, AChild);
}

void ReportError(std::exception_ptr AError) noexcept { Velqora::HandOnWindowError(std::move(AError)); }

TErrorScope::TErrorScope(TRoute ARoute) noexcept : FRoute(ARoute), FOuter(std::exchange(Innermost, this)) {}

TErrorScope::~TErrorScope() {
  Innermost = FOuter;
  if (FError) ReportError(std::move(FError));
}

void TErrorScope::Rethrow() {
  if (FError) std::rethrow_exception(std::exchange(FError, nullptr));
}

void TErrorScope::Catch(std::exception_ptr AError) noexcept {
  TErrorScope* scope = Innermost;
  if (scope && scope->FRoute == TRoute::rtCaller) {
    if (!scope->FError) scope->FError = std::move(AError);
    return;
  }
  ReportError(std::move(AError));
}

// ---- window classes and the window procedure ----

namespace {

// Registers each window class once, on first use; the system keeps the list.
void EnsureWindowClass(const TCreateParams& AParams) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.hInstance = GetModuleHandleW(nullptr);
  if (GetClassInfoExW(wc.hInstance, AParams.WinClassName.c_str(), &wc)) return;
  wc.style = AParams.ClassStyle;
  wc.lpfnWndProc = ControlWindowProc;
  wc.cbWndExtra = sizeof(void*);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(wc.hInstance, L"MAINICON");
  wc.lpszClassName = AParams.WinClassName.c_str();
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) Velqora::ThrowLastOSError();
}

// The control whose window is being created, for the messages that arrive
// before WM_NCCREATE.
TWinControl* CreatingControl = nullptr;

}  // namespace

LRESULT CALLBACK ControlWindowProc(HWND AWnd, UINT AMsg, WPARAM AWParam, LPARAM ALParam) noexcept {
  auto control = reinterpret_cast<TWinControl*>(GetWindowLongPtrW(AWnd, 0));
  if (!control && CreatingControl) {
    control = std::exchange(CreatingControl, nullptr);
    control->FHandle = AWnd;
    SetWindowLongPtrW(AWnd, 0, reinterpret_cast<LONG_PTR>(control));
  }
  if (!control) return DefWindowProcW(AWnd, AMsg, AWParam, ALParam);
  TMessage message{AMsg, AWParam, ALParam, 0};
  try {
    control->WndProc(message);
  } catch (...) {
    // Nothing may cross into the system.
    TErrorScope::Catch(std::current_exception());
    // A window whose creation raised is not made.
    if (AMsg == WM_NCCREATE) message.Result = FALSE;
    if (AMsg == WM_CREATE) message.Result = -1;
  }
  if (AMsg == WM_NCDESTROY) {
    SetWindowLongPtrW(AWnd, 0, 0);
    control->FHandle = nullptr;
    control->FMouseTracking = false;
  }
  return message.Result;
}

TWinControl* TWinControl::FromHandle(HWND AWnd) {
  if (!AWnd) return nullptr;
  wchar_t name[64];
  if (!GetClassNameW(AWnd, name, 64) || wcsncmp(name, L"Bountiq.", 8) != 0) return nullptr;
  return reinterpret_cast<TWinControl*>(GetWindowLongPtrW(AWnd, 0));
}

// ---- making and destroying windows ----

void TWinControl::CreateParams(TCreateParams& AParams) {
  AParams.Caption = GetCaption();
  AParams.Style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  if (FVisible) AParams.Style |= WS_VISIBLE;
  if (!FEnabled) AParams.Style |= WS_DISABLED;
  if (FTabStop) AParams.Style |= WS_TABSTOP;
  AParams.X = FLeft;
  AParams.Y = FTop;
  AParams.Width = FWidth;
  AParams.Height = FHeight;
  AParams.WndParent = FParent ? FParent->GetHandle() : nullptr;
  AParams.ClassStyle = CS_DBLCLKS;
  AParams.WinClassName = L"Bountiq.Control";
}

HWND TWinControl::GetHandle() {
  if (!FHandle) CreateHandle();
  return FHandle;
}

void TWinControl::CreateHandle() {
  if (FHandle) return;
  if (FComponentState.Contains(csDestroying)) throw Velqora::Exception(L"Control is being destroyed");
  if (!FParent && !IsTopLevel()) throw Velqora::Exception(L"Control '" + GetName() + L"' has no parent window");
  CreateWnd();
  // Children get their windows in creation order, which is their z-order.
  for (TControl* c : FControls)
    if (auto w = dynamic_cast<TWinControl*>(c)) w->CreateHandle();
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  // A class style of its own needs a class of its own.
  if (params.ClassStyle != CS_DBLCLKS) params.WinClassName += Velqora::Format(L".%x", {uint64_t(params.ClassStyle)});
  EnsureWindowClass(params);
  HWND wnd;
  DWORD error;
  {
    TErrorScope scope(TErrorScope::TRoute::rtCaller);
    ControlState |= csCreating;
    CreatingControl = this;
    wnd = CreateWindowExW(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(), params.Style,
                          params.X, params.Y, params.Width, params.Height, params.WndParent, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
    error = GetLastError();
    CreatingControl = nullptr;
    ControlState -= csCreating;
    // A window whose creation messages raised is not kept.
    if (wnd && scope.Failed()) DestroyWindow(wnd);
    scope.Rethrow();
  }
  if (!wnd) Velqora::ThrowOSError(error);
  Sending([&] { return SendMessageW(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(Font().GetHandle()), 0); });
  UpdateBoundsFromWindow();
}

void TWinControl::DestroyWnd() {
  if (!FHandle) return;
  HWND wnd = FHandle;
  TControlStateScope destroying(*this, csDestroyingHandle);
  Sending([&] {
    BOOL done = DestroyWindow(wnd);  // WM_NCDESTROY clears FHandle, also for the children
    FHandle = nullptr;
    return done;
  });
}

void TWinControl::RecreateWnd() {
  if (!FHandle) return;
  DestroyWnd();
  if (!FParent || FParent->HandleAllocated() || IsTopLevel()) CreateHandle();
}

// ---- messages ----

void TWinControl::WndProc(TMessage& AMessage) {
  TMessage& m = AMessage;
  // While the object is being freed its window only gets the default
  // handling: handlers and events may touch parts that are gone already.
  if (FComponentState.Contains(csDestroying)) {
    DefaultHandler(m);
    return;
  }
  switch (m.Msg) {
    case WM_PAINT:
      WMPaint(m);
      return;
    case WM_ERASEBKGND:
      m.Result = EraseBackground(reinterpret_cast<HDC>(m.WParam), m.LParam);
      return;
    case WM_PRINTCLIENT:  // the client area painted on a given device context
      m.Result = Perform(WM_PAINT, m.WParam, 0);
      return;
    case WM_WINDOWPOSCHANGED:
      WMWindowPosChanged(m);
      return;
    case WM_SETFOCUS:
      DefaultHandler(m);
      DoEnter();
      // The system announces the window that got the focus (before this
      // message); the part of it that has the focus (a label's link) is
      // announced after it, and before the others hear of the change: one
      // of them may take the focus on.
      if (const LONG part = AccessibleFocusChild(); part != CHILDID_SELF) NotifyAccessible(EVENT_OBJECT_FOCUS, part);
      NotifyFocusChanged();
      return;
    case WM_GETOBJECT:
      // The object id arrives as a DWORD, whatever the width of LPARAM.
      if (AccessibleObjectFactory && LONG(DWORD(m.LParam)) == OBJID_CLIENT)
        if ((m.Result = AccessibleObjectFactory(*this, m.WParam)) != 0) return;
      break;
    case WM_KILLFOCUS:
      DefaultHandler(m);
      DoExit();
      return;
    case WM_MOUSEMOVE:
      if (!FMouseTracking) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, FHandle, 0};
        FMouseTracking = TrackMouseEvent(&tme) != FALSE;
        MouseEnter();
      }
      MouseMove(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      return;
    case WM_MOUSELEAVE:
      FMouseTracking = false;
      MouseLeave();
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
      if (ControlStyle.Contains(csCaptureMouse) && m.Msg != WM_RBUTTONDOWN)
        Sending([&] { return SetCapture(FHandle); });
      MouseDown(m.Msg == WM_RBUTTONDOWN ? VK_RBUTTON : VK_LBUTTON, GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      return;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      if (m.Msg == WM_LBUTTONUP && GetCapture() == FHandle) Sending([] { return ReleaseCapture(); });
      MouseUp(m.Msg == WM_RBUTTONUP ? VK_RBUTTON : VK_LBUTTON, GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      return;
    case WM_KEYDOWN:
      KeyDown(m.WParam);
      return;
    case WM_KEYUP:
      KeyUp(m.WParam);
      return;
    case WM_SETCURSOR:
      if (LOWORD(m.LParam) == HTCLIENT && reinterpret_cast<HWND>(m.WParam) == FHandle &&
          GetCursor() != TCursor::crDefault) {
        static const wchar_t* const ids[] = {IDC_ARROW, IDC_ARROW, IDC_HAND, IDC_IBEAM};
        ::SetCursor(LoadCursorW(nullptr, ids[size_t(GetCursor())]));
        m.Result = TRUE;
        return;
      }
      break;
    case WM_COMMAND:
      // Notifications of child windows go to the child itself.
      if (auto child = FromHandle(reinterpret_cast<HWND>(m.LParam)); child && child != this) {
        child->Command(HIWORD(m.WParam));
        return;
      }
      break;
    default:
      break;
  }
  DefaultHandler(m);
}

void TWinControl::DefaultHandler(TMessage& AMessage) {
  // The default handling sends messages of its own (WM_SIZE after a move).
  if (HWND wnd = FHandle)
    AMessage.Result = Sending([&] { return DefWindowProcW(wnd, AMessage.Msg, AMessage.WParam, AMessage.LParam); });
}

}  // namespace Gui
