#include "transfer/log_texts.h"

// The accent as the single Windows-1252 byte the log has always carried.
const char kCantDeleteFilePrefix[] = "Can\xB4t delete file (2): ";
