#include "Project.VCL.AxLabel.h"

#include <climits>

#include "Project.VCL.Common.h"
#include "UniqueHandle.h"

namespace Project::VCL {

using enum TAxLabelDisplayStyle;

namespace {

THTMLString ToHTML(const std::wstring& AText) { return THTMLString(AText.begin(), AText.end()); }
std::wstring FromHTML(const THTMLString& AText) { return std::wstring(AText.begin(), AText.end()); }

// Shift as the keyboard state table has it for the message being handled.
bool ShiftDown() {
  BYTE keys[256];
  return GetKeyboardState(keys) && (keys[VK_SHIFT] & 0x80) != 0;
}

}  // namespace

TAxCustomLabel::TAxCustomLabel(Gui::TComponent* AOwner)
    : TAxCustomControl(AOwner), FHtmlDrawer(std::make_unique<TAxHTMLDrawer>()) {
  // Mouse capture while a button is down; not opaque.
  ControlStyle = Gui::csCaptureMouse;
  SetTransparent(false);
  FHtmlDrawer->Font() = ToHTMLFont(Font());
  FHtmlDrawer->LinkFont() = ToHTMLFont(VCLCommon::DefaultLinkFont());
  FHtmlDrawer->LinkHoverFont() = ToHTMLFont(VCLCommon::DefaultLinkHoverFont());
  FHtmlDrawer->LinkPressedFont() = ToHTMLFont(VCLCommon::DefaultLinkPressedFont());
  FHtmlDrawer->DisabledFontColor = VCLCommon::DisabledFontColor;
  FHtmlDrawer->TextMargin = {VCLCommon::TextMargin.x, VCLCommon::TextMargin.y};
  FHtmlDrawer->DividerColor = Gui::TColor(0xFF000000u | COLOR_GRAYTEXT);
  SetBounds(GetLeft(), GetTop(), 65, 17);
  SetTabStop(false);
  FCursorSaveNormal = GetCursor();
}

TAxCustomLabel::~TAxCustomLabel() = default;

// ---- Properties ----

void TAxCustomLabel::LayoutChanged() {
  AdjustBounds();
  Invalidate();
}

void TAxCustomLabel::SetAlignment(TAlignment AValue) {
  if (GetAlignment() == AValue) return;
  FHtmlDrawer->SetAlignment(AValue);
  LayoutChanged();
}

void TAxCustomLabel::SetAutoSize(bool AValue) {
  if (FAutoSize == AValue) return;
  if (AValue) {
    FHtmlDrawer->SetEllipsisPosition(TAxEllipsisPosition::epNone);
    FHtmlDrawer->SetWordWrap(false);
    FAutoHeight = false;
  }
  FAutoSize = AValue;
  AdjustBounds();
}

void TAxCustomLabel::SetAutoHeight(bool AValue) {
  if (FAutoHeight == AValue) return;
  FAutoHeight = AValue;
  if (AValue) FAutoSize = false;
  AdjustBounds();
}

void TAxCustomLabel::SetDisplayStyle(TAxLabelDisplayStyle AValue) {
  if (GetDisplayStyle() == AValue) return;
  FHtmlDrawer->SetDisplayStyle(AValue);
  LayoutChanged();
  SyncDrawer();
  SetTabStop(FHtmlDrawer->HyperlinksExists());
}

void TAxCustomLabel::SetEllipsisPosition(TAxEllipsisPosition AValue) {
  if (GetEllipsisPosition() == AValue) return;
  FHtmlDrawer->SetEllipsisPosition(AValue);
  FAutoSize = false;
  LayoutChanged();
}

void TAxCustomLabel::SetLayout(TTextLayout AValue) {
  if (GetLayout() == AValue) return;
  FHtmlDrawer->SetLayout(AValue);
  LayoutChanged();
}

void TAxCustomLabel::SetWordWrap(bool AValue) {
  if (GetWordWrap() == AValue) return;
  FHtmlDrawer->SetWordWrap(AValue);
  FAutoSize = false;
  LayoutChanged();
}

void TAxCustomLabel::SetDividerColor(Gui::TColor AValue) {
  if (FHtmlDrawer->DividerColor == AValue) return;
  FHtmlDrawer->DividerColor = AValue;
  Invalidate();
}

void TAxCustomLabel::SetCursorHover(Gui::TCursor AValue) {
  if (FCursorHover == AValue) return;
  FCursorHover = AValue;
  if (GetMouseInClient()) ApplyCursor(AValue);
}

void TAxCustomLabel::SetThinLineSpaces(bool AValue) {
  if (GetThinLineSpaces() == AValue) return;
  FHtmlDrawer->SetThinLineSpaces(AValue);
  LayoutChanged();
}

void TAxCustomLabel::SetLineSpaces(int AValue) {
  if (GetLineSpaces() == std::max(AValue, 0)) return;
  FHtmlDrawer->SetLineSpaces(AValue);
  LayoutChanged();
}

void TAxCustomLabel::SetLinkFont(const Gui::TFont& AValue) {
  FHtmlDrawer->LinkFont() = ToHTMLFont(AValue);
  LinkFontChanged();
}

void TAxCustomLabel::SetLinkHoverFont(const Gui::TFont& AValue) {
  FHtmlDrawer->LinkHoverFont() = ToHTMLFont(AValue);
  LinkFontChanged();
}

void TAxCustomLabel::SetLinkPressedFont(const Gui::TFont& AValue) {
  FHtmlDrawer->LinkPressedFont() = ToHTMLFont(AValue);
  LinkFontChanged();
}

void TAxCustomLabel::LinkFontChanged() {
  if (FComponentState.Contains(Gui::csLoading) || FComponentState.Contains(Gui::csDestroying)) return;
  FontChanged();
}

// ---- Layout ----

void TAxCustomLabel::SyncDrawer() {
  TAxHTMLDrawer& d = *FHtmlDrawer;
  // The drawer follows the control's font as it is now (a parent's font
  // reaches it without a notification of its own).
  d.Font() = ToHTMLFont(Font());
  d.SetText(ToHTML(GetCaption()));
  d.Enabled = GetEnabled();
  const Gui::TAlign align = GetAlign();
  d.SetAutoWidth(FAutoSize && align != Gui::TAlign::alTop && align != Gui::TAlign::alBottom &&
                 align != Gui::TAlign::alClient);
  d.SetAutoHeight((FAutoHeight || FAutoSize) && align != Gui::TAlign::alLeft && align != Gui::TAlign::alRight &&
                  align != Gui::TAlign::alClient);
}

THTMLRect TAxCustomLabel::TextArea(int ADeltaWidth, int ADeltaHeight) const {
  const RECT r = GetClientRect();
  const POINT m = VCLCommon::TextMargin;
  return {r.left + m.x, r.top + m.y, r.right + ADeltaWidth - m.x, r.bottom + ADeltaHeight - m.y};
}

void TAxCustomLabel::AdjustBounds() {
  if (FComponentState.Contains(Gui::csLoading)) return;
  if (FAutoSize || FAutoHeight) {
    // SetBounds lets CanAutoSize change the size.
    SetBounds(GetLeft(), GetTop(), GetWidth(), GetHeight());
    return;
  }
  LayOut();
}

void TAxCustomLabel::LayOut() {
  InitCustomCanvas();
  auto done = Velqora::ScopeExit([&] { DoneCustomCanvas(); });
  SyncDrawer();
  TAxHTMLCanvas canvas(Canvas(), FFontCache);
  FHtmlDrawer->Update(canvas, TextArea());
}

bool TAxCustomLabel::CanAutoSize(int& NewWidth, int& NewHeight) {
  if (!FAutoSize && !FAutoHeight) return true;
  InitCustomCanvas();
  auto done = Velqora::ScopeExit([&] { DoneCustomCanvas(); });
  TAxHTMLCanvas canvas(Canvas(), FFontCache);
  SyncDrawer();
  // The text area of the proposed size: an auto-height label wraps in the
  // width it is being given.
  FHtmlDrawer->Update(canvas, TextArea(NewWidth - GetWidth(), NewHeight - GetHeight()));
  const THTMLRect t = FHtmlDrawer->TextRect();
  const POINT m = VCLCommon::TextMargin;
  if (FAutoSize) NewWidth = t.Width() + 2 * m.x;
  NewHeight = t.Height() + 2 * m.y;
  SyncDrawer();
  FHtmlDrawer->Update(canvas, t);
  return true;
}

void TAxCustomLabel::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if ((FAutoSize || FAutoHeight) && !FApplyingAutoSize && !FComponentState.Contains(Gui::csLoading)) {
    FApplyingAutoSize = true;
    auto done = Velqora::ScopeExit([&] { FApplyingAutoSize = false; });
    int w = AWidth, h = AHeight;
    CanAutoSize(w, h);
    // The alignment keeps the extent it imposes.
    const Gui::TAlign align = GetAlign();
    if (align != Gui::TAlign::alTop && align != Gui::TAlign::alBottom && align != Gui::TAlign::alClient) AWidth = w;
    if (align != Gui::TAlign::alLeft && align != Gui::TAlign::alRight && align != Gui::TAlign::alClient) AHeight = h;
  }
  TAxCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TAxCustomLabel::CreateWnd() {
  TAxCustomControl::CreateWnd();
  // The measures now come from the real window.
  AdjustBounds();
}

bool TAxCustomLabel::IsCaptionCutting() {
  LayOut();
  const THTMLRect& t = FHtmlDrawer->TextRect();
  const THTMLRect& d = FHtmlDrawer->DisplayRect();
  return t.Left < d.Left || t.Right > d.Right || t.Top < d.Top || t.Bottom > d.Bottom;
}

int TAxCustomLabel::GetLineHeight() {
  LayOut();
  return FHtmlDrawer->LineHeightDefault() + 2 * VCLCommon::TextMargin.y;
}

RECT TAxCustomLabel::GetLinkRectByHRef(const std::wstring& AHRef) const {
  const THTMLRect r = FHtmlDrawer->CalcLinkRect(THTMLStringView(ToHTML(AHRef)));
  return {r.Left, r.Top, r.Right, r.Bottom};
}

// ---- What an accessibility client reads ----

std::wstring TAxCustomLabel::GetShownText() {
  LayOut();
  InitCustomCanvas();
  auto done = Velqora::ScopeExit([&] { DoneCustomCanvas(); });
  TAxHTMLCanvas canvas(Canvas(), FFontCache);
  return FromHTML(FHtmlDrawer->ShownText(canvas));
}

int TAxCustomLabel::GetLinkCount() {
  SyncDrawer();
  FHtmlDrawer->HyperlinksExists();
  return int(FHtmlDrawer->Links().size());
}

std::wstring TAxCustomLabel::GetLinkText(int ALinkID) {
  SyncDrawer();
  FHtmlDrawer->HyperlinksExists();
  return FromHTML(FHtmlDrawer->LinkText(ALinkID));
}

RECT TAxCustomLabel::GetShownLinkRect(int ALinkID) {
  LayOut();
  const TAxHTMLDrawerItem* item = FHtmlDrawer->GetItemByLinkID(ALinkID);
  if (!item) return {};
  const THTMLRect& r = item->ClipRect();
  return {r.Left, r.Top, r.Right, r.Bottom};
}

int TAxCustomLabel::GetLinkAt(POINT APoint) {
  LayOut();
  const int link = FHtmlDrawer->GetLinkIDByPoint({APoint.x, APoint.y});
  return FHtmlDrawer->LinksByID(link) ? link : -1;
}

void TAxCustomLabel::ClickLink(int ALinkID) { FireLinkEvent(ALinkID, OnLinkClick); }

void TAxCustomLabel::FocusLink(int ALinkID) {
  TAxHTMLDrawer& d = *FHtmlDrawer;
  if (!d.LinksByID(ALinkID)) return;
  if (!Focused()) SetFocus();
  if (!Focused() || d.FocusedLinkID == ALinkID) return;
  if (d.FocusedLinkID >= 0) FireLinkEvent(d.FocusedLinkID, OnLinkKillFocus);
  d.FocusedLinkID = ALinkID;
  FireLinkEvent(ALinkID, OnLinkSetFocus);
  NotifyLinkFocus();
  Invalidate();
}

LONG TAxCustomLabel::AccessibleFocusChild() {
  return FHtmlDrawer->FocusedLinkID > 0 ? FHtmlDrawer->FocusedLinkID : CHILDID_SELF;
}

void TAxCustomLabel::NotifyLinkFocus() {
  if (Focused() && FHtmlDrawer->FocusedLinkID > 0) NotifyAccessible(EVENT_OBJECT_FOCUS, FHtmlDrawer->FocusedLinkID);
}

// ---- Painting ----

void TAxCustomLabel::Paint(const RECT& AClientRect, const RECT& AClipRect) {
  const POINT m = VCLCommon::TextMargin;
  const THTMLRect r{AClientRect.left + m.x, AClientRect.top + m.y, AClientRect.right - m.x,
                    AClientRect.bottom - m.y};
  SyncDrawer();
  FHtmlDrawer->DrawFocusRect = Focused() && !GetUIHideFocus();
  TAxHTMLCanvas canvas(Canvas(), FFontCache);
  FHtmlDrawer->Draw(canvas, r, {AClipRect.left, AClipRect.top, AClipRect.right, AClipRect.bottom});
  TAxCustomControl::Paint(AClientRect, AClipRect);
}

// ---- Links ----

void TAxCustomLabel::FireLinkEvent(int ALinkID, const TLinkEvent& AEvent) {
  const THTMLLinkInfo* link = FHtmlDrawer->LinksByID(ALinkID);
  if (link && AEvent) AEvent(this, FromHTML(link->HRef()));
}

void TAxCustomLabel::ApplyCursor(Gui::TCursor AValue) {
  SetCursor(AValue);
  // The system asks for the cursor again only when the mouse moves.
  if (HWND wnd = GetHandleIfAllocated(); wnd && GetMouseInClient())
    Perform(WM_SETCURSOR, reinterpret_cast<WPARAM>(wnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

// ---- Mouse ----

void TAxCustomLabel::MouseMove(int AX, int AY) {
  TAxCustomControl::MouseMove(AX, AY);
  if (GetDisplayStyle() == ldsPlain) return;
  constexpr WPARAM held = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON | MK_XBUTTON1 | MK_XBUTTON2 | MK_SHIFT | MK_CONTROL;
  if (FMoveKeys & held) return;
  TAxHTMLDrawer& d = *FHtmlDrawer;
  const int link = d.GetLinkIDByPoint({AX, AY});
  if (link == d.OverLinkID) return;
  if (d.OverLinkID >= 0) {
    FireLinkEvent(d.OverLinkID, OnLinkMouseLeave);
    ApplyCursor(FCursorSaveNormal);
  }
  d.OverLinkID = link;
  if (link > 0) {
    FireLinkEvent(link, OnLinkMouseEnter);
    FCursorSaveNormal = GetCursor();
    ApplyCursor(FCursorHover);
  }
  Invalidate();
}

void TAxCustomLabel::MouseLeave() {
  TAxCustomControl::MouseLeave();
  TAxHTMLDrawer& d = *FHtmlDrawer;
  if (d.OverLinkID < 0) return;
  FireLinkEvent(d.OverLinkID, OnLinkMouseLeave);
  ApplyCursor(FCursorSaveNormal);
  d.OverLinkID = -1;
  Invalidate();
}

void TAxCustomLabel::MouseDown(UINT AButton, int AX, int AY) {
  TAxCustomControl::MouseDown(AButton, AX, AY);
  if (AButton != VK_LBUTTON) return;
  FClickPending = true;
  TAxHTMLDrawer& d = *FHtmlDrawer;
  if (GetDisplayStyle() == ldsPlain || d.OverLinkID < 0) return;
  if (!Focused()) SetFocus();
  d.PressLinkID = d.OverLinkID;
  if (d.LinksByID(d.OverLinkID) && d.FocusedLinkID != d.OverLinkID) {
    d.FocusedLinkID = d.OverLinkID;
    NotifyLinkFocus();
  }
  Invalidate();
}

void TAxCustomLabel::MouseUp(UINT AButton, int AX, int AY) {
  TAxCustomControl::MouseUp(AButton, AX, AY);
  if (AButton != VK_LBUTTON) return;
  // The click a press inside makes when it is released inside.
  const RECT client = GetClientRect();
  const bool click = FClickPending && AX >= client.left && AX < client.right && AY >= client.top && AY < client.bottom;
  FClickPending = false;
  if (click) Click();
  if (GetDisplayStyle() == ldsPlain) return;
  TAxHTMLDrawer& d = *FHtmlDrawer;
  const int link = d.GetLinkIDByPoint({AX, AY});
  const int pressed = d.PressLinkID;
  d.PressLinkID = -1;
  Invalidate();
  if (link >= 0 && link != d.FocusedLinkID && d.LinksByID(link)) {
    if (d.FocusedLinkID >= 0) FireLinkEvent(d.FocusedLinkID, OnLinkKillFocus);
    d.FocusedLinkID = link;
    FireLinkEvent(link, OnLinkSetFocus);
    NotifyLinkFocus();
  }
  if (link >= 0 && link == pressed) FireLinkEvent(pressed, OnLinkClick);
}

// ---- Focus and keys ----

bool TAxCustomLabel::CanFocus() {
  if (!TAxCustomControl::CanFocus()) return false;
  SyncDrawer();
  return FHtmlDrawer->HyperlinksExists();
}

void TAxCustomLabel::SetFocus() {
  if (CanFocus()) TAxCustomControl::SetFocus();
}

void TAxCustomLabel::DoEnter() {
  TAxCustomControl::DoEnter();
  TAxHTMLDrawer& d = *FHtmlDrawer;
  SyncDrawer();
  if (!d.HyperlinksExists()) return;
  d.FocusedLinkID = ShiftDown() ? d.GetPrevHyperlinkID(INT_MAX) : d.GetNextHyperlinkID(-1);
  if (d.FocusedLinkID >= 0) FireLinkEvent(d.FocusedLinkID, OnLinkSetFocus);
  Invalidate();
}

void TAxCustomLabel::DoExit() {
  TAxCustomControl::DoExit();
  if (GetDisplayStyle() != ldsPlain) Invalidate();
}

bool TAxCustomLabel::PreProcessMessage(MSG& AMsg) {
  bool result = TAxCustomControl::PreProcessMessage(AMsg);
  if (result || AMsg.message != WM_KEYDOWN || AMsg.wParam != VK_TAB) return result;
  TAxHTMLDrawer& d = *FHtmlDrawer;
  if (d.FocusedLinkID >= 0) FireLinkEvent(d.FocusedLinkID, OnLinkKillFocus);
  d.FocusedLinkID = ShiftDown() ? d.GetPrevHyperlinkID(d.FocusedLinkID) : d.GetNextHyperlinkID(d.FocusedLinkID);
  if (d.FocusedLinkID >= 0) {
    FireLinkEvent(d.FocusedLinkID, OnLinkSetFocus);
    NotifyLinkFocus();
    result = true;
  }
  Invalidate();
  return result;
}

bool TAxCustomLabel::WantsKey(WPARAM AKey) {
  // Enter activates the focused link rather than the form's default button.
  return (AKey == VK_RETURN && FHtmlDrawer->FocusedLinkID >= 0) || TAxCustomControl::WantsKey(AKey);
}

void TAxCustomLabel::KeyDown(WPARAM AKey) {
  TAxCustomControl::KeyDown(AKey);
  TAxHTMLDrawer& d = *FHtmlDrawer;
  if ((AKey == VK_RETURN || AKey == VK_SPACE) && d.FocusedLinkID >= 0) {
    d.PressLinkID = d.FocusedLinkID;
    Invalidate();
  }
}

void TAxCustomLabel::KeyUp(WPARAM AKey) {
  TAxCustomControl::KeyUp(AKey);
  TAxHTMLDrawer& d = *FHtmlDrawer;
  if ((AKey == VK_RETURN || AKey == VK_SPACE) && d.PressLinkID >= 0) {
    FireLinkEvent(d.PressLinkID, OnLinkClick);
    d.PressLinkID = -1;
    Invalidate();
  }
}

// ---- Notifications ----

void TAxCustomLabel::WndProc(Gui::TMessage& AMessage) {
  if (AMessage.Msg == WM_MOUSEMOVE) FMoveKeys = AMessage.WParam;
  TAxCustomControl::WndProc(AMessage);
  if (AMessage.Msg == WM_WININICHANGE && !FComponentState.Contains(Gui::csDestroying)) {
    AdjustBounds();
    Invalidate();
  }
}

void TAxCustomLabel::FontChanged() {
  TAxCustomControl::FontChanged();
  if (FComponentState.Contains(Gui::csDestroying)) return;
  FHtmlDrawer->Font() = ToHTMLFont(Font());
  AdjustBounds();
  Invalidate();
}

void TAxCustomLabel::TextChanged() {
  TAxCustomControl::TextChanged();
  if (FComponentState.Contains(Gui::csDestroying)) return;
  AdjustBounds();
  Invalidate();
  SyncDrawer();
  SetTabStop(FHtmlDrawer->HyperlinksExists());
}

void TAxCustomLabel::EnabledChanged() {
  TAxCustomControl::EnabledChanged();
  Invalidate();
}

}  // namespace Project::VCL
