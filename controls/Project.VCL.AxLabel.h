// The wizard's text control: the caption shown as plain text, as one link
// or as markup, laid out and drawn by a markup drawer. It sizes itself to
// its text, tracks the link under the mouse (hover colour and hand
// cursor), lets the user click links or walk them with Tab and activate
// them with Enter or Space, and reports every link event with the link's
// target text.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Project.VCL.AxCustomControl.h"
#include "Project.VCL.AxLabel.HtmlCanvas.h"
#include "Project.VCL.AxLabel.HtmlDrawer.h"

namespace Project::VCL {

// A link event: the label and the link's target text (for a label in
// ldsLink style always "link"), not the link's number.
using TLinkEvent = std::function<void(Gui::TComponent* ASender, const std::wstring& ALinkID)>;

// The GUI layer has no auto-size step of its own: the label applies
// CanAutoSize itself whenever its bounds are set (SetBounds), after each
// change that moves its text (caption, font, properties) and once its
// window exists. Where the label is aligned, the alignment keeps the
// extent it imposes. The layer has no actions either; the label has none.
class TAxCustomLabel : public TAxCustomControl {
public:
  explicit TAxCustomLabel(Gui::TComponent* AOwner);
  ~TAxCustomLabel() override;

  TAlignment GetAlignment() const { return FHtmlDrawer->Alignment(); }
  void SetAlignment(TAlignment AValue);
  bool GetAutoSize() const { return FAutoSize; }
  // Switching on clears WordWrap, AutoHeight and the ellipsis position.
  void SetAutoSize(bool AValue);
  bool GetAutoHeight() const { return FAutoHeight; }
  // Switching on switches AutoSize off.
  void SetAutoHeight(bool AValue);
  TAxLabelDisplayStyle GetDisplayStyle() const { return FHtmlDrawer->DisplayStyle(); }
  void SetDisplayStyle(TAxLabelDisplayStyle AValue);
  // A change switches AutoSize off.
  TAxEllipsisPosition GetEllipsisPosition() const { return FHtmlDrawer->EllipsisPosition(); }
  void SetEllipsisPosition(TAxEllipsisPosition AValue);
  TTextLayout GetLayout() const { return FHtmlDrawer->Layout(); }
  void SetLayout(TTextLayout AValue);
  // A change switches AutoSize off.
  bool GetWordWrap() const { return FHtmlDrawer->WordWrap(); }
  void SetWordWrap(bool AValue);
  Gui::TColor GetDividerColor() const { return FHtmlDrawer->DividerColor; }
  void SetDividerColor(Gui::TColor AValue);
  Gui::TCursor GetCursorHover() const { return FCursorHover; }
  void SetCursorHover(Gui::TCursor AValue);
  bool GetThinLineSpaces() const { return FHtmlDrawer->ThinLineSpaces(); }
  void SetThinLineSpaces(bool AValue);
  int GetLineSpaces() const { return FHtmlDrawer->LineSpaces(); }
  // Negative values become 0.
  void SetLineSpaces(int AValue);
  // The link fonts are copied into the drawer.
  const THTMLFont& GetLinkFont() const { return FHtmlDrawer->LinkFont(); }
  void SetLinkFont(const Gui::TFont& AValue);
  const THTMLFont& GetLinkHoverFont() const { return FHtmlDrawer->LinkHoverFont(); }
  void SetLinkHoverFont(const Gui::TFont& AValue);
  const THTMLFont& GetLinkPressedFont() const { return FHtmlDrawer->LinkPressedFont(); }
  void SetLinkPressedFont(const Gui::TFont& AValue);

  // The caption laid out for the current client area reaches outside it.
  bool IsCaptionCutting();
  // The height one line of the label's own font takes, text margins
  // included: the least height that still shows a line.
  int GetLineHeight();
  // The rectangle of the first piece of the link whose target is AHRef
  // (ASCII case ignored), in client coordinates, from the last layout;
  // empty when there is no such link.
  RECT GetLinkRectByHRef(const std::wstring& AHRef) const;

  // What an accessibility client reads and does (Project.VCL.Accessibility).
  // The text as the layout for the client area shows it (no markup, an
  // ellipsis where it is cut; see TAxHTMLDrawer::ShownText).
  std::wstring GetShownText();
  // Links are numbered 1 to GetLinkCount() in the order of the caption.
  int GetLinkCount();
  std::wstring GetLinkText(int ALinkID);
  // The first shown piece of a link in client coordinates (a wrapped link
  // has one piece per line; a click in this one follows it); empty when
  // the layout shows none of it.
  RECT GetShownLinkRect(int ALinkID);
  // The link at a client point; -1 for none.
  int GetLinkAt(POINT APoint);
  // Follows a link as a click on it does (OnLinkClick).
  void ClickLink(int ALinkID);
  // Gives the label the focus with link ALinkID focused, as Tab does.
  void FocusLink(int ALinkID);
  LONG AccessibleFocusChild() override;

  // The drawer's link numbers (-1: none), for inspection.
  int OverLinkID() const { return FHtmlDrawer->OverLinkID; }
  int PressLinkID() const { return FHtmlDrawer->PressLinkID; }
  int FocusedLinkID() const { return FHtmlDrawer->FocusedLinkID; }

  // The size automatic sizing proposes for the given one; always true.
  bool CanAutoSize(int& NewWidth, int& NewHeight);
  // Only a label with links takes the focus. The layer's CanFocus is not
  // virtual: this one hides it, and SetFocus asks it.
  bool CanFocus();
  void SetFocus() override;
  bool PreProcessMessage(MSG& AMsg) override;
  bool WantsKey(WPARAM AKey) override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

  TLinkEvent OnLinkClick;
  TLinkEvent OnLinkMouseEnter;
  TLinkEvent OnLinkMouseLeave;
  TLinkEvent OnLinkSetFocus;
  TLinkEvent OnLinkKillFocus;

protected:
  void WndProc(Gui::TMessage& AMessage) override;
  void CreateWnd() override;
  void Paint(const RECT& AClientRect, const RECT& AClipRect) override;
  void MouseDown(UINT AButton, int AX, int AY) override;
  void MouseUp(UINT AButton, int AX, int AY) override;
  void MouseMove(int AX, int AY) override;
  void MouseLeave() override;
  void KeyDown(WPARAM AKey) override;
  void KeyUp(WPARAM AKey) override;
  void DoEnter() override;
  void DoExit() override;
  void FontChanged() override;
  void TextChanged() override;
  void EnabledChanged() override;

  // Hands the control's state to the drawer; runs before every layout and
  // paint.
  void SyncDrawer();
  // Lays the caption out for the current client area (on a measuring
  // canvas); the drawer keeps the result.
  void LayOut();
  void AdjustBounds();
  void LinkFontChanged();
  void FireLinkEvent(int ALinkID, const TLinkEvent& AEvent);
  // Tells accessibility clients that the focused link changed, while the
  // label has the focus.
  void NotifyLinkFocus();

private:
  // The client area shrunk by the text margin, grown by the given change
  // of the bounds.
  THTMLRect TextArea(int ADeltaWidth = 0, int ADeltaHeight = 0) const;
  // The cursor changed where the mouse is at once.
  void ApplyCursor(Gui::TCursor AValue);
  // After a layout property of the drawer changed.
  void LayoutChanged();

  TAxHTMLFontCache FFontCache;  // goes after the drawer
  std::unique_ptr<TAxHTMLDrawer> FHtmlDrawer;
  bool FAutoHeight = false;
  bool FAutoSize = true;
  Gui::TCursor FCursorHover = Gui::TCursor::crHandPoint;
  Gui::TCursor FCursorSaveNormal = Gui::TCursor::crDefault;
  // The layer fires no click: a left press inside, released inside.
  bool FClickPending = false;
  // The key and button flags of the mouse move being handled.
  WPARAM FMoveKeys = 0;
  bool FApplyingAutoSize = false;
};

// The class the pages use for their labels.
class TLabel : public TAxCustomLabel {
public:
  using TAxCustomLabel::TAxCustomLabel;
};

}  // namespace Project::VCL
