// Declarations the wizard's forms share.
#pragma once

#include <cstdint>

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

// Namespace for GUI operations (opening web pages comes with the offer page).
class GUIGlobals {
public:
  GUIGlobals() = delete;
};

}  // namespace uGUIGlobals
