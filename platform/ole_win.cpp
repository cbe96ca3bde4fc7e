#include <ole2.h>

#include "platform/ole.h"

bool InitializeOle() { return OleInitialize(nullptr) == S_OK; }

void UninitializeOle() { OleUninitialize(); }
