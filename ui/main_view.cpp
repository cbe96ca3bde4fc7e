#include "ui/main_view.h"

MainView* TheMainView = nullptr;
