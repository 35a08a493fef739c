// Declarations the wizard's forms share.
#pragma once

#include <cstdint>

namespace uGUIGlobals {

// The wizard's pages, in the order they are shown.
enum class TWrapperPages : uint8_t {
  wpNone,          // no page: before the first page and after destruction
  wpActionActive,  // the welcome page
  wpGetOffer,      // the partner offer page
};

// Namespace for GUI operations (opening web pages comes with the offer page).
class GUIGlobals {
public:
  GUIGlobals() = delete;
};

}  // namespace uGUIGlobals
