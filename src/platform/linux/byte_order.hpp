// The picture's 32-bit words in the byte order a display server reads them in, which need not be this
// machine's: the X server's image byte order, and little-endian for wl_shm's formats.
#pragma once

#include <bit>
#include <cstdint>
#include <span>

namespace zarvo::lnx {

// Puts the words in that order (least significant byte first, or last), swapping each word's bytes where
// it is not this machine's.
inline void toByteOrder(std::span<std::uint32_t> words, bool lsbFirst)
{
    if (lsbFirst != (std::endian::native == std::endian::little)) {
        for (std::uint32_t& w : words) {
            w = __builtin_bswap32(w);
        }
    }
}

}  // namespace zarvo::lnx
