// The program's entry on Windows: the window, and a failure reported in a message box with status 1.
#include <windows.h>

#include "host/failure.hpp"
#include "platform/win32/host_win32.hpp"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int show)
{
    return zarvo::runReportingFailure([&] { return zarvo::win32::run(instance, show); }, zarvo::win32::showError);
}
