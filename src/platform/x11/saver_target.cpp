// The display mode's arguments: which window it draws into.
#include "platform/x11/saver_target.hpp"

#include <charconv>
#include <optional>

namespace zarvo::x11 {

namespace {

constexpr char kAccepted[] = "accepted: -root, -window-id ID (decimal or 0x hex), each also with two dashes";

// A window id as X writes it: decimal, or hex after 0x. X ids use 29 bits, and none is 0.
std::optional<std::uint32_t> windowId(std::string_view text)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint32_t id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id, base);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || id == 0 || id >= 1U << 29U) {
        return std::nullopt;
    }
    return id;
}

// "-name" and "--name" alike.
std::string_view option(std::string_view argument)
{
    if (argument.starts_with("--")) {
        argument.remove_prefix(1);
    }
    return argument;
}

// A refusal: the reason, then what is accepted.
SaverChoice refused(std::string_view reason, std::string_view quoted = {}, std::string_view after = {})
{
    std::string line(reason);
    line.append(quoted).append(after).append(kAccepted);
    return {.target = {}, .error = line};
}

}  // namespace

SaverChoice chooseSaverTarget(std::span<const std::string_view> arguments, std::string_view environmentWindow)
{
    bool root = false;
    std::optional<std::uint32_t> given;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view name = option(arguments[i]);
        if (name == "-root") {
            root = true;
        } else if (name == "-window-id") {
            if (i + 1 == arguments.size()) {
                return refused("", arguments[i], " needs a window id; ");
            }
            given = windowId(arguments[++i]);
            if (!given) {
                return refused("\"", arguments[i], "\" is no window id; ");
            }
        } else {
            return refused("unknown argument \"", arguments[i], "\"; ");
        }
    }
    if (!given && !environmentWindow.empty()) {
        given = windowId(environmentWindow);
        if (!given) {
            return {.target = {},
                    .error = "XSCREENSAVER_WINDOW=\"" + std::string(environmentWindow) + "\" is no window id"};
        }
    }
    if (given) {
        return {.target = {SaverTarget::Kind::given, *given}, .error = {}};
    }
    return {.target = {root ? SaverTarget::Kind::root : SaverTarget::Kind::ownWindow, 0}, .error = {}};
}

}  // namespace zarvo::x11
