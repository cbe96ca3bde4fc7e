#include "transfer/log_texts.h"

// Narrow text and the log are UTF-8 here, so the accent takes two bytes.
const char kCantDeleteFilePrefix[] = "Can\xC2\xB4t delete file (2): ";
