// The screen saver's command line as Windows passes it, read without any Windows header so that it builds
// and is tested on any machine: "/s" to run, "/p HWND" for the preview inside the settings dialog, "/c" or
// "/c:HWND" (or nothing) for the settings. The letter may be upper or lower case, after a slash or a dash;
// the window's number follows after a space or a colon.
#pragma once

#include <cstdint>
#include <string_view>

namespace zarvo::win32 {

struct SaverCommand {
    enum class Kind {
        run,       // /s: full screen over every display until a key, a click or the pointer moving
        preview,   // /p HWND: inside the client area of the window HWND, until that window goes
        settings,  // /c, /c:HWND or nothing: the message box that says there are no settings
        unknown    // anything else: the message box that says what is accepted
    };
    Kind kind = Kind::unknown;
    std::uintptr_t window = 0;  // the window of /p (never 0), or the owner of /c:HWND (0: the one in front)
};

SaverCommand readSaverCommand(std::string_view commandLine);

// What the message box for an unknown argument says is accepted.
inline constexpr std::string_view kSaverUsage =
    "Zarvo1 screen saver: the command line is one of\n\n"
    "/s\t\tshow the screen saver\n"
    "/p HWND\tshow it inside the window HWND\n"
    "/c[:HWND]\tsettings (there are none)";

}  // namespace zarvo::win32
