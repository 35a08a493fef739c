// Declarations the wizard's forms share.
#pragma once

#include <cstdint>
#include <string>

#include "ExtCtrls.h"
#include "Forms.h"

namespace uGUIGlobals {

// The wizard's pages, in the order they are shown.
enum class TWrapperPages : uint8_t {
  wpNone,          // no page: before the first page and after destruction
  wpActionActive,  // the welcome page
  wpGetOffer,      // the partner offer page
};

// Makes a page form's content panel: it fills the page (545 x 330, the main
// window's content area), without edge or caption. The main window shows it
// in place of the page form, which is never shown itself.
Gui::TPanel* CreatePageContent(Gui::TForm& APage);

// A colour of the user's theme as it is now, as a plain colour: a theme
// that changes gives new values, so whatever holds one draws anew.
Gui::TColor ThemeColour(int ASystemColour);

// Namespace for GUI operations.
class GUIGlobals {
public:
  GUIGlobals() = delete;

  // Opens AURL in the default browser, as the desktop user when the wrapper
  // runs elevated; does not wait for it. False, with no message, for an
  // empty address or a browser that cannot be started.
  static bool ShowURL(const std::wstring& AURL);
};

}  // namespace uGUIGlobals
