#include "uGUIGlobals.h"
