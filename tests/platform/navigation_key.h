// Makes and removes the navigation-sound key in a place of the test's own.
#pragma once

#include "support/sandbox.h"

void CreateNavigationKeyForTesting(const Sandbox& sandbox);
void RemoveNavigationKeyForTesting(const Sandbox& sandbox);
