// The Linux layer under both Linux hosts: one key table for X11 and Wayland, the wait that ends on SIGINT
// or SIGTERM, except on one the program was started with ignored, and the picture's bytes in a server's
// order.
#include "core/frm.hpp"
#include "platform/linux/byte_order.hpp"
#include "platform/linux/linux_host.hpp"
#include "platform/linux/linux_keys.hpp"

#include <gtest/gtest.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <array>
#include <csignal>
#include <cstring>

namespace zarvo::lnx {
namespace {

TEST(LinuxKeys, LettersDigitsAndTheKeysWithAControlCode)
{
    EXPECT_EQ(virtualKey(XKB_KEY_Escape), kEscape);
    EXPECT_EQ(virtualKey(XKB_KEY_q), 'Q');
    EXPECT_EQ(virtualKey(XKB_KEY_Q), 'Q');
    EXPECT_EQ(virtualKey(XKB_KEY_a), 'A');
    EXPECT_EQ(virtualKey(XKB_KEY_z), 'Z');
    EXPECT_EQ(virtualKey(XKB_KEY_0), '0');
    EXPECT_EQ(virtualKey(XKB_KEY_9), '9');
    EXPECT_EQ(virtualKey(XKB_KEY_BackSpace), 0x08);
    EXPECT_EQ(virtualKey(XKB_KEY_Tab), 0x09);
    EXPECT_EQ(virtualKey(XKB_KEY_Return), 0x0D);
    EXPECT_EQ(virtualKey(XKB_KEY_KP_Enter), 0x0D);
    EXPECT_EQ(virtualKey(XKB_KEY_space), 0x20);
    for (const int none : {XKB_KEY_F1, XKB_KEY_F4, XKB_KEY_Shift_L, XKB_KEY_adiaeresis, XKB_KEY_NoSymbol}) {
        EXPECT_EQ(virtualKey(static_cast<std::uint32_t>(none)), 0) << none;
    }
}

// SIGTERM is sent while a pipe stands for the display's connection. The signals stay blocked after the wait
// goes (the program is ending then); the case takes the pending one back and unblocks them.
TEST(LinuxWait, TheConnectionTheDeadlineAndAQuitSignalButNotAnIgnoredOne)
{
    std::array<int, 2> pipe{};
    ASSERT_EQ(::pipe(pipe.data()), 0);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction before {};
    sigaction(SIGINT, &ignore, &before);
    {
        const EventWait wait;
        EXPECT_EQ(wait.wait(pipe[0], 0), EventWait::Wake::timeout);
        ASSERT_EQ(write(pipe[1], "x", 1), 1);
        EXPECT_EQ(wait.wait(pipe[0], 1000), EventWait::Wake::connection);
        raise(SIGINT);  // ignored at the start: stays so
        EXPECT_EQ(wait.wait(-1, 0), EventWait::Wake::timeout);
        raise(SIGTERM);
        EXPECT_EQ(wait.wait(pipe[0], -1), EventWait::Wake::quit) << "the signal comes before the connection";
    }
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    int taken = 0;
    EXPECT_EQ(sigwait(&term, &taken), 0);
    sigprocmask(SIG_UNBLOCK, &term, nullptr);
    sigaction(SIGINT, &before, nullptr);
    close(pipe[0]);
    close(pipe[1]);
}

// A pixel 0x00RRGGBB in memory as a server reads it, on any machine: blue first where the least significant
// byte comes first (wl_shm, most X servers), the pad byte first where it comes last.
TEST(LinuxByteOrder, WordsGoInTheServersOrder)
{
    std::array<std::uint32_t, 2> words{0x00C42B1CU, 0x00C42B1CU};
    toByteOrder(std::span(words).first(1), true);
    toByteOrder(std::span(words).last(1), false);
    std::array<std::uint8_t, 8> bytes{};
    std::memcpy(bytes.data(), words.data(), sizeof words);
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 8>{0x1C, 0x2B, 0xC4, 0x00, 0x00, 0xC4, 0x2B, 0x1C}));
}

}  // namespace
}  // namespace zarvo::lnx
