// Components, controls and windowed controls of the GUI layer.
//
// Ownership and parenthood are separate: a component frees the components it
// owns (in reverse order of creation) when it is freed; a windowed control
// displays its child controls but does not own them. Freeing a control takes
// it out of its owner and its parent.
//
// The sources are split by idea: Controls.Component (ownership),
// Controls.Control (controls and windowed controls), Controls.WindowProc
// (windows, the window procedure and where its errors go), Controls.Focus,
// Controls.Align and Controls.Paint.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Flags.h"
#include "Graphics.h"
#include "UtilityWindow.h"

namespace Gui {

class TComponent;
class TControl;
class TWinControl;

using TNotifyEvent = std::function<void(TComponent* Sender)>;

// A window message as a control's window procedure sees it: the one
// message record of the utility windows below the GUI layer too.
using TMessage = Velqora::TWindowMessage;

// An exception a window procedure caught while no call of ours waited for
// the message (one the message loop dispatched, or one the system sent on
// its own) goes where the utility windows' errors go
// (Velqora::SetWindowErrorHandler): the application object installs its
// handler there.

// Answers WM_GETOBJECT for a control's client area (OBJID_CLIENT) with what
// LresultFromObject gave for the control's accessible object, or 0 to
// leave the request to the system. The layer above installs it; without
// one the system answers.
using TAccessibleObjectFactory = LRESULT (*)(TWinControl& AControl, WPARAM AWParam) noexcept;
void SetAccessibleObjectFactory(TAccessibleObjectFactory AFactory);

enum class TComponentStateFlag : uint8_t { csLoading, csDestroying };
using enum TComponentStateFlag;
template <>
inline constexpr bool IsFlagEnum<TComponentStateFlag> = true;
using TComponentState = TFlags<TComponentStateFlag>;

class TComponent {
public:
  explicit TComponent(TComponent* AOwner);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* GetOwner() const { return FOwner; }
  const std::wstring& GetName() const { return FName; }
  void SetName(const std::wstring& AName) { FName = AName; }
  int ComponentCount() const { return int(FComponents.size()); }
  TComponent* GetComponent(int AIndex) const { return FComponents.at(size_t(AIndex)).get(); }
  TComponent* FindComponent(const std::wstring& AName) const;
  TComponentState GetComponentState() const { return FComponentState; }

protected:
  TComponentState FComponentState;

private:
  TComponent* FOwner;
  std::wstring FName;
  std::vector<std::unique_ptr<TComponent>> FComponents;
};

enum class TAlign : uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient };

struct TMargins {
  int Left = 3, Top = 3, Right = 3, Bottom = 3;
};

// The sizes a control keeps to when it sizes itself; 0 is no limit.
struct TSizeConstraints {
  int MinWidth = 0, MinHeight = 0, MaxWidth = 0, MaxHeight = 0;
};

enum class TCursor : uint8_t { crDefault, crArrow, crHandPoint, crIBeam };

enum class TControlStyleFlag : uint8_t { csCaptureMouse, csOpaque, csAcceptsControls };
using enum TControlStyleFlag;
template <>
inline constexpr bool IsFlagEnum<TControlStyleFlag> = true;
using TControlStyle = TFlags<TControlStyleFlag>;

// csCustomPaint: the control paints its window itself (WM_PAINT runs the
// paint-window step even without child controls); csPaintCopy: the control
// is being captured into a device context; csDestroyingHandle: its window is
// being destroyed.
enum class TControlStateFlag : uint8_t { csCustomPaint, csPaintCopy, csCreating, csAligning, csDestroyingHandle };
using enum TControlStateFlag;
template <>
inline constexpr bool IsFlagEnum<TControlStateFlag> = true;
using TControlState = TFlags<TControlStateFlag>;

class TControl : public TComponent {
public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  TWinControl* GetParent() const { return FParent; }
  virtual void SetParent(TWinControl* AParent);

  int GetLeft() const { return FLeft; }
  int GetTop() const { return FTop; }
  int GetWidth() const { return FWidth; }
  int GetHeight() const { return FHeight; }
  void SetLeft(int AValue) { SetBounds(AValue, FTop, FWidth, FHeight); }
  void SetTop(int AValue) { SetBounds(FLeft, AValue, FWidth, FHeight); }
  void SetWidth(int AValue) { SetBounds(FLeft, FTop, AValue, FHeight); }
  void SetHeight(int AValue) { SetBounds(FLeft, FTop, FWidth, AValue); }
  RECT GetBoundsRect() const { return {FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  // The area for content and children, in the control's own coordinates.
  virtual RECT GetClientRect() const;
  int GetClientWidth() const;
  int GetClientHeight() const;

  TAlign GetAlign() const { return FAlign; }
  void SetAlign(TAlign AValue);
  const TMargins& GetMargins() const { return FMargins; }
  void SetMargins(int ALeft, int ATop, int ARight, int ABottom);
  bool GetAlignWithMargins() const { return FAlignWithMargins; }
  void SetAlignWithMargins(bool AValue);
  TSizeConstraints& Constraints() { return FConstraints; }
  const TSizeConstraints& Constraints() const { return FConstraints; }

  bool GetVisible() const { return FVisible; }
  virtual void SetVisible(bool AValue);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and so are all parents.
  bool IsShowing() const;

  bool GetEnabled() const { return FEnabled; }
  virtual void SetEnabled(bool AValue);

  TColor GetColor() const { return FColor; }
  void SetColor(TColor AValue);
  bool GetParentColor() const { return FParentColor; }
  void SetParentColor(bool AValue);

  // Changing the font switches ParentFont off.
  TFont& Font() { return FFont; }
  const TFont& Font() const { return FFont; }
  void SetFont(const TFont& AValue) { FFont.Assign(AValue); }
  bool GetParentFont() const { return FParentFont; }
  void SetParentFont(bool AValue);

  TCursor GetCursor() const { return FCursor; }
  void SetCursor(TCursor AValue) { FCursor = AValue; }

  const std::wstring& GetCaption() const { return FCaption; }
  void SetCaption(const std::wstring& AValue);
  // The name an accessibility client (a screen reader) gives the control;
  // empty: the control's own (a button's caption, a label's text), and a
  // windowless control without one is decoration that clients skip. A
  // control with a window announces a change (EVENT_OBJECT_NAMECHANGE).
  const std::wstring& GetAccessibleName() const { return FAccessibleName; }
  void SetAccessibleName(const std::wstring& AValue);

  TControlStyle ControlStyle;
  TControlState ControlState;

  TNotifyEvent OnClick;
  TNotifyEvent OnResize;

  // Sends a message straight to the control's window procedure.
  LRESULT Perform(UINT AMsg, WPARAM AWParam, LPARAM ALParam);
  virtual void WndProc(TMessage& AMessage);
  // What a message no handler took gets (DefWindowProcW for windows).
  virtual void DefaultHandler(TMessage& AMessage);
  virtual void Invalidate();
  void BringToFront();

protected:
  virtual void Click();
  virtual void Resize();
  virtual void ColorChanged();
  virtual void FontChanged();
  virtual void TextChanged();
  virtual void EnabledChanged() {}
  virtual void VisibleChanged();
  virtual void ParentChanged() {}
  // The parent's colour or font changed.
  void ParentColorChanged();
  void ParentFontChanged();
  void RequestAlign();

  friend class TWinControl;
  TWinControl* FParent = nullptr;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  bool FVisible = true;
  bool FEnabled = true;

private:
  TAlign FAlign = TAlign::alNone;
  TMargins FMargins;
  TSizeConstraints FConstraints;
  bool FAlignWithMargins = false;
  TColor FColor = clBtnFace;
  bool FParentColor = true;
  TFont FFont;
  bool FParentFont = true;
  bool FUpdatingParentFont = false;
  TCursor FCursor = TCursor::crDefault;
  std::wstring FCaption;
  std::wstring FAccessibleName;
};

// Sets a flag of a control's state for a scope and clears it on every path,
// unless it was set before.
class TControlStateScope {
public:
  TControlStateScope(TControl& AControl, TControlStateFlag AFlag) noexcept
      : FControl(AControl), FFlag(AFlag), FWasSet(AControl.ControlState.Contains(AFlag)) {
    FControl.ControlState |= FFlag;
  }
  ~TControlStateScope() {
    if (!FWasSet) FControl.ControlState -= FFlag;
  }
  TControlStateScope(const TControlStateScope&) = delete;
  TControlStateScope& operator=(const TControlStateScope&) = delete;

private:
  TControl& FControl;
  TControlStateFlag FFlag;
  bool FWasSet;
};

// A control without a window of its own: the parent paints it.
class TGraphicControl : public TControl {
public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;
  TCanvas& Canvas() { return FCanvas; }
  void WndProc(TMessage& AMessage) override;

protected:
  // Draws on Canvas(), whose origin is the control's top left corner.
  virtual void Paint() {}

private:
  TCanvas FCanvas;
};

// What CreateParams gives for the window and its class.
struct TCreateParams {
  std::wstring Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  UINT ClassStyle = 0;
  std::wstring WinClassName;
};

// Its window is made lazily, once the parent has one; a control moved
// under a parent without a window loses its window.
class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  HWND GetHandle();  // creates the window when it does not exist yet
  HWND GetHandleIfAllocated() const { return FHandle; }
  bool HandleAllocated() const { return FHandle != nullptr; }
  void HandleNeeded() { GetHandle(); }
  // Destroys the window; it is made again when needed, with new parameters.
  void RecreateWnd();
  // The control whose window is AWnd, if it is one of ours.
  static TWinControl* FromHandle(HWND AWnd);
  // Whether the control has a window without a parent control.
  virtual bool IsTopLevel() const { return false; }

  int ControlCount() const { return int(FControls.size()); }
  TControl* GetControl(int AIndex) const { return FControls.at(size_t(AIndex)); }

  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  RECT GetClientRect() const override;
  void SetVisible(bool AValue) override;
  void SetEnabled(bool AValue) override;
  void Invalidate() override;
  void Update();

  bool GetDoubleBuffered() const { return FDoubleBuffered; }
  void SetDoubleBuffered(bool AValue);
  bool GetParentDoubleBuffered() const { return FParentDoubleBuffered; }
  void SetParentDoubleBuffered(bool AValue);
  // Draws its parent's background instead of filling with its own colour.
  bool GetParentBackground() const { return FParentBackground; }
  void SetParentBackground(bool AValue);

  int GetTabOrder() const;
  void SetTabOrder(int AValue);
  bool GetTabStop() const { return FTabStop; }
  void SetTabStop(bool AValue) { FTabStop = AValue; }
  bool CanFocus() const;
  bool Focused() const;
  virtual void SetFocus();
  // The next control in tab order within this control, from ACurrent.
  TWinControl* FindNextControl(TWinControl* ACurrent, bool AForward) const;

  // Space kept free inside the client area when children are aligned.
  const TMargins& GetPadding() const { return FPadding; }
  void SetPadding(int ALeft, int ATop, int ARight, int ABottom);
  // Lays out the aligned children again.
  void Realign();
  void DisableAlign() { ++FAlignDisabled; }
  void EnableAlign();

  void WndProc(TMessage& AMessage) override;
  void DefaultHandler(TMessage& AMessage) override;

  // Lets the parent paint its background on ADC, its origin moved so that
  // the parent's client coordinates map onto this control's area (the origin
  // and the rest of the state are given back); answers the parent's answer
  // to the erase step, 0 without a parent.
  LRESULT PaintParentBackground(HDC ADC);
  // Paints the visible graphic (windowless) children that meet ADC's clip
  // box, in creation order, on ADC in this control's client coordinates.
  void PaintControls(HDC ADC);

  // Called by the message loop for a message to the focused control before
  // it is dispatched; true means it was handled.
  virtual bool PreProcessMessage(MSG& AMsg);
  // Whether the control takes key AKey itself rather than as a dialog key.
  virtual bool WantsKey(WPARAM AKey);
  // A dialog key (Enter, Escape) the focused control did not take; the
  // default hands it to the parent, and the control without a parent (the
  // form) offers it to every control on it (CMDialogKey).
  virtual bool DialogKey(WPARAM AKey);
  // A dialog key offered by the form, in tab order; true: taken (a default
  // or cancel button clicks).
  virtual bool CMDialogKey(WPARAM AKey) { return false; }
  // Every control on a form hears which control got the focus.
  virtual void CMFocusChanged(TWinControl* AFocused) {}
  // The part of the control that has the keyboard focus while its window
  // has it, as an accessibility client numbers it: CHILDID_SELF for the
  // control itself (a label names its focused link). The system announces
  // the window; a part is announced with a focus event of its own.
  virtual LONG AccessibleFocusChild() { return CHILDID_SELF; }
  // Tells accessibility clients of AEvent (EVENT_OBJECT_...) on the client
  // area or on its part AChild; nothing without a window.
  void NotifyAccessible(DWORD AEvent, LONG AChild = CHILDID_SELF) const;

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

protected:
  virtual void CreateParams(TCreateParams& AParams);
  virtual void CreateWnd();
  virtual void DestroyWnd();
  // Paints the client area on ADC after the background.
  virtual void PaintWindow(HDC ADC);
  // Erase-background step: ADC in WParam; the buffered erase sends the
  // buffer's device context in both parameters.
  virtual LRESULT EraseBackground(HDC ADC, LPARAM ALParam);
  // After the window moved or changed its size (WM_WINDOWPOSCHANGED without
  // both SWP_NOMOVE and SWP_NOSIZE), the bounds read back and the children
  // aligned: the default runs Resize when the size changed.
  virtual void WindowPosChanged(bool AResized);

  virtual void MouseDown(UINT AButton, int AX, int AY) {}
  virtual void MouseUp(UINT AButton, int AX, int AY) {}
  virtual void MouseMove(int AX, int AY) {}
  virtual void MouseEnter() {}
  virtual void MouseLeave() {}
  virtual void KeyDown(WPARAM AKey) {}
  virtual void KeyUp(WPARAM AKey) {}
  virtual void DoEnter();
  virtual void DoExit();
  // A WM_COMMAND notification the parent reflected to this control.
  virtual void Command(WORD ACode) {}
  bool IsDoubleBuffered() const { return FDoubleBuffered; }
  bool MouseInClient() const { return FMouseTracking; }

  void ColorChanged() override;
  void FontChanged() override;
  void TextChanged() override;
  void VisibleChanged() override;
  void ParentChanged() override;

private:
  friend class TControl;
  friend LRESULT CALLBACK ControlWindowProc(HWND, UINT, WPARAM, LPARAM) noexcept;
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);
  void CreateHandle();
  // Tells every control on this control's form that this one got the focus.
  void NotifyFocusChanged();
  void WMPaint(TMessage& AMessage);
  void WMWindowPosChanged(TMessage& AMessage);
  void AlignControls();
  static constexpr int MaxAlignPasses = 8;
  void UpdateBoundsFromWindow();
  void ParentDoubleBufferedChanged();

  HWND FHandle = nullptr;
  std::vector<TControl*> FControls;    // children in creation order
  std::vector<TWinControl*> FTabList;  // windowed children in tab order
  bool FDoubleBuffered = false;
  bool FParentDoubleBuffered = true;
  bool FParentBackground = false;
  bool FTabStop = false;
  bool FMouseTracking = false;
  int FAlignDisabled = 0;
  bool FAlignPending = false;
  TMargins FPadding{0, 0, 0, 0};
};

// A windowed control that draws itself through a canvas.
class TCustomControl : public TWinControl {
public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;
  TCanvas& Canvas() { return *FCanvas; }
  void WndProc(TMessage& AMessage) override;

protected:
  void PaintWindow(HDC ADC) override;
  virtual void Paint() {}

private:
  std::unique_ptr<TCanvas> FCanvas;
};

}  // namespace Gui
