// The keyboard on Linux: a key symbol (libxkbcommon's, the same on X11 and Wayland) as the virtual key code
// the core takes.
#pragma once

#include <cstdint>

namespace zarvo::lnx {

// Letters as their uppercase character, digits as themselves, Escape 27, Backspace 8, Tab 9, Return (and
// the keypad's Enter) 13, the space bar 32; 0 for a key without a code.
std::int16_t virtualKey(std::uint32_t keysym);

}  // namespace zarvo::lnx
