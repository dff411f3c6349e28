// The codes the chain's handlers take for a key, a mouse button and the modifiers held, as plain constants:
// what a host's translation of its events needs of the core and nothing more.
#pragma once

#include <cstdint>

namespace zarvo {

inline constexpr std::int16_t kEscape = 27;  // the virtual key code of Escape

// Mouse buttons and modifier bits as the handlers receive them.
inline constexpr std::int16_t kButtonLeft = 1;
inline constexpr std::int16_t kButtonRight = 2;
inline constexpr std::int16_t kButtonMiddle = 4;
inline constexpr std::int16_t kShift = 1;
inline constexpr std::int16_t kCtrl = 2;
inline constexpr std::int16_t kAlt = 4;

}  // namespace zarvo
