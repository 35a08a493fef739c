#include "Forms.h"

#include <utility>

#include "Controls.WindowProc.h"
#include "Paths.h"
#include "Velqora.System.SysUtils.h"

namespace Gui {


TApplication* Application = nullptr;

// ---- TForm ----

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner) {
  FVisible = false;
  SetParentColor(false);
  SetParentFont(false);
  SetParentDoubleBuffered(false);
  if (Application && AOwner == Application && !Application->GetMainForm()) Application->SetMainForm(this);
}

TForm::~TForm() {
  if (Application && Application->GetMainForm() == this) Application->SetMainForm(nullptr);
}

void TForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TForm::DoDestroy() {
  if (OnDestroy) OnDestroy(this);
}

void TForm::CreateParams(TCreateParams& AParams) {
  TWinControl::CreateParams(AParams);
  AParams.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  AParams.ExStyle = WS_EX_CONTROLPARENT;
  switch (FBorderStyle) {
    case TFormBorderStyle::bsNone: AParams.Style |= WS_POPUP; break;
    case TFormBorderStyle::bsSingle: AParams.Style |= WS_CAPTION; break;
    case TFormBorderStyle::bsSizeable: AParams.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case TFormBorderStyle::bsDialog:
      AParams.Style |= WS_CAPTION | DS_MODALFRAME;
      AParams.ExStyle |= WS_EX_DLGMODALFRAME;
      break;
  }
  if (FBorderStyle != TFormBorderStyle::bsNone) {
    if (FBorderIcons & biSystemMenu) AParams.Style |= WS_SYSMENU;
    if (FBorderIcons & biMinimize) AParams.Style |= WS_MINIMIZEBOX;
    if (FBorderIcons & biMaximize) AParams.Style |= WS_MAXIMIZEBOX;
  }
  if (FShowInTaskbar) AParams.ExStyle |= WS_EX_APPWINDOW;
  if (!FEnabled) AParams.Style |= WS_DISABLED;
  AParams.WndParent = nullptr;
  AParams.WinClassName = L"Bountiq.Form";
  // Made at its final size and place where the frame is known beforehand;
  // CreateWnd corrects what the system then does differently.
  if (FClientWidth >= 0 && FClientHeight >= 0) {
    RECT r{0, 0, FClientWidth, FClientHeight};
    AdjustWindowRectEx(&r, AParams.Style, FALSE, AParams.ExStyle);
    AParams.Width = r.right - r.left;
    AParams.Height = r.bottom - r.top;
  }
  if (FPosition == TPosition::poScreenCenter) {
    AParams.X = (GetSystemMetrics(SM_CXSCREEN) - AParams.Width) / 2;
    AParams.Y = (GetSystemMetrics(SM_CYSCREEN) - AParams.Height) / 2;
  }
}

void TForm::CreateWnd() {
  TWinControl::CreateWnd();
  ApplyClientSize();
  // Focus cues as a dialog has them: hidden until the first Tab or arrow
  // key, unless the user always wants them.
  BOOL always = FALSE;
  SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &always, 0);
  HWND wnd = GetHandle();
  const WPARAM cues = MAKEWPARAM(always ? UIS_CLEAR : UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL);
  Sending([&] { return SendMessageW(wnd, WM_CHANGEUISTATE, cues, 0); });
}

void TForm::ApplyClientSize() {
  HWND wnd = GetHandleIfAllocated();
  if (!wnd) return;
  RECT window, client;
  GetWindowRect(wnd, &window);
  ::GetClientRect(wnd, &client);
  int width = window.right - window.left, height = window.bottom - window.top;
  // The frame is whatever the window has around its client area now.
  if (FClientWidth >= 0) width = FClientWidth + width - client.right;
  if (FClientHeight >= 0) height = FClientHeight + height - client.bottom;
  int left = window.left, top = window.top;
  if (FPosition == TPosition::poScreenCenter) {
    left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  }
  if (left != window.left || top != window.top || width != window.right - window.left ||
      height != window.bottom - window.top)
    Sending([&] { return SetWindowPos(wnd, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE); });
}

void TForm::SetClientSize(int AWidth, int AHeight) {
  FClientWidth = AWidth;
  FClientHeight = AHeight;
  if (HandleAllocated()) {
    ApplyClientSize();
  } else {
    SetBounds(FLeft, FTop, AWidth, AHeight);  // until the frame is known
    Realign();
  }
}

RECT TForm::GetClientRect() const {
  if (!HandleAllocated() && FClientWidth >= 0) return {0, 0, FClientWidth, FClientHeight};
  return TWinControl::GetClientRect();
}

void TForm::SetVisible(bool AValue) {
  if (AValue) {
    HWND wnd = GetHandle();
    FVisible = true;
    Sending([&] { return ShowWindow(wnd, SW_SHOWNORMAL); });
    Sending([&] { return SetForegroundWindow(wnd); });
  } else {
    FVisible = false;
    if (HWND wnd = GetHandleIfAllocated()) Sending([&] { return ShowWindow(wnd, SW_HIDE); });
  }
}

void TForm::Close() {
  TCloseAction action = TCloseAction::caHide;
  DoClose(action);
  if (action == TCloseAction::caNone) return;
  if (Application && Application->GetMainForm() == this)
    Application->Terminate();
  else
    Hide();
}

void TForm::DoClose(TCloseAction& AAction) {
  if (OnClose) OnClose(this, AAction);
}

namespace {
BOOL CALLBACK UpdateUIState(HWND AWnd, LPARAM AChange) {
  SendMessageW(AWnd, WM_UPDATEUISTATE, WPARAM(AChange), 0);
  return TRUE;
}
}  // namespace

void TForm::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
    case WM_CLOSE:
      Close();
      return;
    // The keyboard cues of the form and every window in it: a change is
    // told to all of them (WM_UPDATEUISTATE), as the system does for its
    // dialogs.
    case WM_QUERYUISTATE:
      AMessage.Result = FUIState;
      return;
    case WM_CHANGEUISTATE: {
      const WORD action = LOWORD(AMessage.WParam);
      const WORD flags = HIWORD(AMessage.WParam) & (UISF_HIDEFOCUS | UISF_HIDEACCEL);
      const WORD state = action == UIS_CLEAR ? WORD(FUIState & ~flags) : WORD(FUIState | flags);
      if (state == FUIState || (action != UIS_SET && action != UIS_CLEAR)) return;
      const WPARAM change = MAKEWPARAM(action, flags);
      FUIState = state;
      HWND wnd = GetHandle();
      Sending([&] { return SendMessageW(wnd, WM_UPDATEUISTATE, change, 0); });
      Sending([&] { return EnumChildWindows(wnd, UpdateUIState, LPARAM(change)); });
      return;
    }
    case WM_ACTIVATE: {
      HWND wnd = GetHandleIfAllocated();
      if (LOWORD(AMessage.WParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(wnd, focus)) FLastFocused = focus;
      } else if (!HIWORD(AMessage.WParam)) {  // not minimised
        if (FLastFocused && IsWindow(FLastFocused) && IsChild(wnd, FLastFocused)) {
          Sending([&] { return ::SetFocus(FLastFocused); });
        } else if (TWinControl* first = FindNextControl(nullptr, true)) {
          first->SetFocus();
        }
        return;  // focus is set
      }
      break;
    }
    default:
      break;
  }
  TWinControl::WndProc(AMessage);
}

// ---- TApplication ----

namespace {
std::exception_ptr QueuedException;  // the GUI runs on one thread

// Where the errors of every window procedure go while an application runs.
void QueueWindowError(std::exception_ptr AError) noexcept { TApplication::QueueException(std::move(AError)); }

// Asks AControl's top-level window to show focus cues.
void ShowFocusCues(TWinControl& AControl) {
  HWND root = GetAncestor(AControl.GetHandle(), GA_ROOT);
  if (root && (SendMessageW(root, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS))
    Sending([&] { return SendMessageW(root, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0); });
}
}  // namespace

// The GUI thread is a single-threaded COM apartment for the application's
// life: the pictures' decoder and the objects screen readers ask for live
// there, and COM is not set up and torn down again for each picture.
TApplication::TApplication() : TComponent(nullptr) {
  Application = this;
  Velqora::SetWindowErrorHandler(QueueWindowError);
  std::wstring name = Velqora::ProgramPath();
  name.erase(0, name.find_last_of(L"\\/") + 1);
  if (auto dot = name.find_last_of(L'.'); dot != std::wstring::npos) name.erase(dot);
  FTitle = name;
}

TApplication::~TApplication() {
  // Forms go while the application still exists.
  while (ComponentCount() > 0) delete GetComponent(ComponentCount() - 1);
  if (Application == this) {
    Application = nullptr;
    Velqora::SetWindowErrorHandler(nullptr);
    QueuedException = nullptr;  // not for another application's loop
  }
}

void TApplication::SetMainForm(TForm* AForm) {
  FMainForm = AForm;
  if (AForm && MainFormOnTaskbar) AForm->SetShowInTaskbar(true);
}

void TApplication::Run() {
  if (FMainForm) FMainForm->Show();
  while (!FTerminated) HandleMessage();
}

void TApplication::HandleMessage() {
  // Errors of what the loop delivers are reported after the message, also
  // when the loop runs inside a call of ours.
  TErrorScope loop(TErrorScope::TRoute::rtSink);
  MSG msg;
  BOOL result = GetMessageW(&msg, nullptr, 0, 0);
  if (result == -1) Velqora::ThrowLastOSError();
  if (result == 0) {
    FTerminated = true;
    return;
  }
  ProcessMessage(msg);
}

void TApplication::ProcessMessages() {
  TErrorScope loop(TErrorScope::TRoute::rtSink);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      FTerminated = true;
      continue;
    }
    ProcessMessage(msg);
  }
}

bool TApplication::ProcessMessage(MSG& AMsg) {
  if (!IsKeyMessage(AMsg)) {
    TranslateMessage(&AMsg);
    DispatchMessageW(&AMsg);
  }
  ReportQueuedException();
  return true;
}

bool TApplication::IsKeyMessage(MSG& AMsg) {
  if (AMsg.message < WM_KEYFIRST || AMsg.message > WM_KEYLAST) return false;
  TWinControl* target = TWinControl::FromHandle(AMsg.hwnd);
  if (!target) return false;
  try {
    if (target->PreProcessMessage(AMsg)) return true;
    WPARAM key = AMsg.wParam;
    // Keys that move the focus show where it is: the window's keyboard
    // cues come on, as a dialog's do.
    if (AMsg.message == WM_KEYDOWN && (key == VK_TAB || (key >= VK_LEFT && key <= VK_DOWN))) ShowFocusCues(*target);
    if (AMsg.message != WM_KEYDOWN || (key != VK_TAB && key != VK_RETURN && key != VK_ESCAPE) ||
        target->WantsKey(key))
      return false;
    // Enter and Escape held down act once: their repeated key-downs are no
    // dialog keys.
    if (key != VK_TAB && (AMsg.lParam & (1 << 30))) return true;
    if (key == VK_TAB) {
      TWinControl* root = target;
      while (root->GetParent()) root = root->GetParent();
      if (TWinControl* next = root->FindNextControl(target, GetKeyState(VK_SHIFT) >= 0)) next->SetFocus();
      return true;
    }
    return target->DialogKey(key);
  } catch (...) {
    QueueException(std::current_exception());
    return true;
  }
}

void TApplication::Terminate() {
  FTerminated = true;
  PostQuitMessage(0);
}

void TApplication::QueueException(std::exception_ptr AError) {
  if (!QueuedException) QueuedException = AError;  // the first one counts
}

void TApplication::ReportQueuedException() {
  if (QueuedException) HandleException(std::exchange(QueuedException, nullptr));
}

void TApplication::HandleException(std::exception_ptr AError) {
  if (OnException) {
    OnException(AError);
    return;
  }
  HWND owner = FMainForm && FMainForm->GetVisible() ? FMainForm->GetHandleIfAllocated() : nullptr;
  MessageBoxW(owner, ExceptionMessage(AError).c_str(), FTitle.c_str(), MB_OK | MB_ICONERROR);
}

std::wstring ExceptionMessage(std::exception_ptr AError) {
  try {
    std::rethrow_exception(AError);
  } catch (const Velqora::Exception& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return Velqora::Utf8ToWide(e.what());
  } catch (...) {
    return L"Unknown error";
  }
}

}  // namespace Gui
