// What a page may ask of the program. Pages come over plain HTTP, so their
// "app:" links reach only the commands a user gives by clicking.
#pragma once

#include <cstdint>

// True for start, continue, pause, help, folder and close. Any other code is
// the program's own (UI_BUILD resets the folder, UI_PROGRESS reads the plan
// while the program thread writes it): it is logged and false.
[[nodiscard]] bool PageMayPost(uint32_t command);
