// The Windows screen saver's command line and what ends it, on any machine.
#include "platform/win32/input_win32.hpp"
#include "platform/win32/saver_command.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

namespace zarvo::win32 {
namespace {

using Kind = SaverCommand::Kind;

// The command lines Windows and its shell pass, in either case, after a slash or a dash.
TEST(SaverCommand, TheFormsWindowsPasses)
{
    for (const std::string_view line : {"/s", "/S", "-s", "-S", "  /s  ", "/s\r\n"}) {
        EXPECT_EQ(readSaverCommand(line).kind, Kind::run) << line;
    }
    for (const std::string_view line : {"/p 1234", "/P 1234", "-p 1234", "/p:1234", "/P:1234", "/p  1234 "}) {
        const SaverCommand c = readSaverCommand(line);
        EXPECT_EQ(c.kind, Kind::preview) << line;
        EXPECT_EQ(c.window, 1234U) << line;
    }
    // The settings: nothing, /c (the window in front owns the box), /c:HWND (that window does).
    for (const std::string_view line : {"", "   ", "/c", "/C", "-c"}) {
        const SaverCommand c = readSaverCommand(line);
        EXPECT_EQ(c.kind, Kind::settings) << line;
        EXPECT_EQ(c.window, 0U) << line;
    }
    EXPECT_EQ(readSaverCommand("/c:4294967295").window, 4294967295U);
    EXPECT_EQ(readSaverCommand("/C:66").kind, Kind::settings);
}

TEST(SaverCommand, AnythingElseIsUnknown)
{
    for (const std::string_view line :
         {"/x",    "s",      "/",       "-",      "//s",    "/s1",   "/s 12",  "/s:",
          "/save", "/p",     "/p:",     "/p 0",   "/p 12x", "/p -5", "/p 1 2", "/p 99999999999999999999999",
          "/c:",   "/c:abc", "/config", "/a 1234"}) {
        EXPECT_EQ(readSaverCommand(line).kind, Kind::unknown) << line;
    }
}

// lParam of a mouse move: x in the low word, y in the high one, both signed.
std::intptr_t at(int x, int y)
{
    return static_cast<std::intptr_t>((static_cast<std::uint32_t>(y & 0xFFFF) << 16U) |
                                      static_cast<std::uint32_t>(x & 0xFFFF));
}

TEST(SaverWatch, KeysClicksAndAPointerMovedAwayEndTheSaver)
{
    for (const std::uint32_t message :
         {kWmKeyDown, kWmSysKeyDown, kWmLButtonDown, kWmRButtonDown, kWmMButtonDown, kWmXButtonDown}) {
        SaverWatch watch;
        EXPECT_TRUE(watch.ends(message, 0)) << message;
    }
    SaverWatch watch;
    watch.start(100, 100);
    // Key releases, the timer, painting: nothing.
    for (const std::uint32_t message : {0x0101U, 0x0202U, kWmTimer, 0x000FU}) {
        EXPECT_FALSE(watch.ends(message, at(500, 500))) << message;
    }
    // Within a few pixels of where the pointer was, every way: the saver stays.
    for (const std::intptr_t near : {at(100, 100), at(104, 96), at(96, 104)}) {
        EXPECT_FALSE(watch.ends(kWmMouseMove, near));
    }
    EXPECT_TRUE(watch.ends(kWmMouseMove, at(105, 100)));
    EXPECT_TRUE(watch.ends(kWmMouseMove, at(100, 95)));
    // Left of and above the window's origin (a display left of the main one): the words are signed.
    SaverWatch left;
    left.start(-3, -3);
    EXPECT_FALSE(left.ends(kWmMouseMove, at(-6, 0)));
    EXPECT_TRUE(left.ends(kWmMouseMove, at(-20, -3)));
}

TEST(SaverWatch, WithoutAStartTheFirstMoveSaysWhereThePointerWas)
{
    SaverWatch watch;
    EXPECT_FALSE(watch.ends(kWmMouseMove, at(640, 512)));
    EXPECT_FALSE(watch.ends(kWmMouseMove, at(642, 510)));
    EXPECT_TRUE(watch.ends(kWmMouseMove, at(700, 512)));
}

}  // namespace
}  // namespace zarvo::win32
