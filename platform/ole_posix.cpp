#include "platform/ole.h"

// Nothing to prepare: the terminal front end embeds no browser control.
bool InitializeOle() { return true; }

void UninitializeOle() {}
