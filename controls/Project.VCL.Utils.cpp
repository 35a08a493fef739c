#include "Project.VCL.Utils.h"

#include "Controls.WindowProc.h"
#include "UniqueHandle.h"

namespace Project::VCL {

using Gui::Sending;
using Gui::TWinControl;

LRESULT PerformEraseBackground(TWinControl& AControl, HDC ADC) {
  TWinControl* parent = AControl.GetParent();
  if (!parent || !parent->HandleAllocated()) return 1;
  return AControl.PaintParentBackground(ADC);
}

void InvalidateNC(TWinControl& AControl) {
  if (HWND wnd = AControl.GetHandleIfAllocated())
    Sending([&] {
      return SetWindowPos(wnd, nullptr, 0, 0, 0, 0,
                          SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    });
}

void InvalidateAll(TWinControl& AControl) {
  if (HWND wnd = AControl.GetHandleIfAllocated())
    Sending(
        [&] { return RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN); });
}

void AxPaintTo(TWinControl& AControl, HDC ADC, int AX, int AY) {
  HWND wnd = AControl.GetHandle();
  Gui::TControlStateScope copy(AControl, Gui::csPaintCopy);
  Gui::TSavedDC saved(ADC);
  OffsetWindowOrgEx(ADC, -AX, -AY, nullptr);
  IntersectClipRect(ADC, 0, 0, AControl.GetWidth(), AControl.GetHeight());
  // A window region would cut the capture: the window goes without it
  // meanwhile and gets it back, which then owns it again.
  Velqora::TUniqueRegion region(CreateRectRgn(0, 0, 0, 0));
  const bool hadRegion = region && GetWindowRgn(wnd, region.Get()) != ERROR;
  if (hadRegion) Sending([&] { return SetWindowRgn(wnd, nullptr, FALSE); });
  auto giveBack = Velqora::ScopeExit([&] {
    if (hadRegion && SetWindowRgn(wnd, region.Get(), FALSE)) region.Release();
  });
  Sending([&] { return PrintWindow(wnd, ADC, 0); });
}

void LoadImageFromPngResource(Gui::TImage& AImage, HINSTANCE AInstance, const std::wstring& AName) {
  AImage.Picture().LoadFromPNGResource(AInstance, AName.c_str());
  AImage.PictureChanged();
}

}  // namespace Project::VCL
