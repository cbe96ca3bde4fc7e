// Log texts whose bytes depend on the platform's narrow encoding.
#pragma once

// "Can´t delete file (2): " (the path follows) with the accent as one Windows-1252 byte on
// Windows and as UTF-8 elsewhere.
extern const char kCantDeleteFilePrefix[];
