// The screen saver's command line.
#include "platform/win32/saver_command.hpp"

#include <cstddef>

namespace zarvo::win32 {
namespace {

bool blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// A window's number in decimal, as Windows writes a handle there: digits only, above 0, and small enough
// for a handle; 0 for anything else.
std::uintptr_t windowNumber(std::string_view digits)
{
    if (digits.empty()) {
        return 0;
    }
    std::uintptr_t n = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return 0;
        }
        const auto digit = static_cast<std::uintptr_t>(c - '0');
        if (n > (UINTPTR_MAX - digit) / 10) {
            return 0;
        }
        n = n * 10 + digit;
    }
    return n;
}

}  // namespace

SaverCommand readSaverCommand(std::string_view commandLine)
{
    const std::string_view line = trimmed(commandLine);
    if (line.empty()) {
        return {SaverCommand::Kind::settings, 0};
    }
    if (line.size() < 2 || (line[0] != '/' && line[0] != '-')) {
        return {};
    }
    // After the letter: nothing, or the window's number after a colon or after spaces.
    std::string_view rest = line.substr(2);
    const bool colon = !rest.empty() && rest.front() == ':';
    if (colon) {
        rest.remove_prefix(1);
    } else if (!rest.empty() && !blank(rest.front())) {
        return {};  // "/sx", "/preview"
    }
    rest = trimmed(rest);
    const std::uintptr_t window = windowNumber(rest);
    const bool numbered = window != 0;
    if (!rest.empty() && !numbered) {
        return {};
    }
    switch (line[1]) {
    case 's':
    case 'S':
        if (!rest.empty() || colon) {
            return {};
        }
        return {SaverCommand::Kind::run, 0};
    case 'p':
    case 'P':
        if (!numbered) {
            return {};
        }
        return {SaverCommand::Kind::preview, window};
    case 'c':
    case 'C':
        if (colon && !numbered) {
            return {};
        }
        return {SaverCommand::Kind::settings, window};
    default: return {};
    }
}

}  // namespace zarvo::win32
