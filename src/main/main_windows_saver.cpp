// The screen saver's entry on Windows (zarvo1.scr): the command line as Windows passes it picks the saver
// over every display, its preview in the settings dialog, or a message box; a failure is reported in a
// message box with status 1, as the window program reports one.
#include <windows.h>

#include "host/failure.hpp"
#include "platform/win32/host_win32.hpp"
#include "platform/win32/saver_command.hpp"

#include <cstdint>

namespace {

constexpr const char* kSaverCaption = "Zarvo1 screen saver";

HWND windowOf(std::uintptr_t number)
{
    return reinterpret_cast<HWND>(number);  // NOLINT(performance-no-int-to-ptr): a handle as Windows wrote it
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR commandLine, int /*show*/)
{
    namespace win = zarvo::win32;
    const win::SaverCommand command = win::readSaverCommand(commandLine != nullptr ? commandLine : "");
    switch (command.kind) {
    case win::SaverCommand::Kind::settings: {
        HWND owner = command.window != 0 ? windowOf(command.window) : GetForegroundWindow();
        win::showMessage(IsWindow(owner) != FALSE ? owner : nullptr, kSaverCaption,
                         "Zarvo1 screen saver\n\nThis screen saver has no settings.", false);
        return 0;
    }
    case win::SaverCommand::Kind::unknown:
        win::showMessage(GetForegroundWindow(), kSaverCaption, win::kSaverUsage, true);
        return 1;
    case win::SaverCommand::Kind::run:
    case win::SaverCommand::Kind::preview: break;
    }
    const win::WindowMode mode{
        command.kind == win::SaverCommand::Kind::run ? win::WindowMode::Kind::saver : win::WindowMode::Kind::preview,
        windowOf(command.window)};
    return zarvo::runReportingFailure([&] { return win::run(instance, SW_SHOW, mode); }, win::showError);
}
