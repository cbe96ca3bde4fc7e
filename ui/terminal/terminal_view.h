// The two Linux views behind CreateFrontEnd.
#pragma once

#include "ui/main_view.h"

MainView* CreateTerminalView();
MainView* CreateLineView();
