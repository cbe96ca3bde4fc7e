// The system's click sound on page navigation, which the program silences
// while it runs (the embedded browser would click on every page reload).
#pragma once

#include <string>

// The current sound setting; empty when the key is missing or the value does
// not fit in 200 bytes.
std::wstring ReadNavigationSound();

// Sets the sound; does nothing when the key is missing or not writable.
void WriteNavigationSound(const std::wstring& text);
