// What a screen reader reads of our windows and what it can do there: each
// window of ours answers WM_GETOBJECT for its client area (OBJID_CLIENT)
// with an IAccessible of its own.
//
// - A button is a push button named by its caption (without the "&" of a
//   mnemonic); its default action "Press" clicks it as the mouse does.
// - A label is static text named by the text its layout shows (no markup,
//   an ellipsis where it is cut); its links are its children, numbered 1 to
//   n, each a link named by its text whose default action "Jump" follows it
//   as a click does.
// - Any other windowed control (a form, a panel) is a client area named by
//   its accessible name; its children are its visible child controls in
//   reading order (top to bottom, then left to right): windowed ones as
//   objects of their own, windowless ones with an accessible name (the
//   pictures) as graphics answered by the parent. Windowless controls
//   without a name are decoration and are left out.
//
// An object holds its window, not the control: once the window is gone,
// every call answers RPC_E_DISCONNECTED. No exception leaves a method; an
// action whose handlers raise reports the error as the window procedure
// does and answers E_FAIL.
#pragma once

namespace Project::VCL {

class TAccessibility {
public:
  // Unit start-up: installs the GUI layer's answer to WM_GETOBJECT. Nothing
  // is loaded until a client asks: oleacc, which is no KnownDLL, is bound
  // from the system folder then, and the GUI thread enters a
  // single-threaded COM apartment, so that calls from other processes
  // arrive through its message loop.
  static void Start();
  // Takes the answer away and leaves the apartment the first request
  // entered. Runs on the GUI thread, before the binding registry stops.
  static void Stop();
};

}  // namespace Project::VCL
