// The outputs the compositor offers and the scale each announces (wl_output version 2), and which of them
// the window's surface is on: the window's scale is the largest of those (surfaceScale). A change of scale
// is handed to whoever draws at it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

struct wl_output;
struct wl_registry;
struct wl_surface;

namespace zarvo::wl {

class Outputs {
public:
    // `changed` hears of every new scale.
    explicit Outputs(std::function<void(int scale)> changed) : changed_(std::move(changed)) {}
    ~Outputs();
    Outputs(const Outputs&) = delete;
    Outputs& operator=(const Outputs&) = delete;
    Outputs(Outputs&&) = delete;
    Outputs& operator=(Outputs&&) = delete;

    // An output announced by the registry (global `name`, version 2 or later): bound and listened to.
    void add(wl_registry* registry, std::uint32_t name);
    // A global gone: the output of that name, if it was one, and the window is no longer on it.
    void remove(std::uint32_t name);
    // Follows which outputs the surface (the window's) enters and leaves.
    void follow(wl_surface* surface);

    int scale() const { return scale_; }
    // The scale from the outputs as they are now; `changed` hears of it when it is new.
    void update();

private:
    struct Output {
        Outputs* owner = nullptr;
        wl_output* output = nullptr;
        std::uint32_t name = 0;  // the global's
        int scale = 1;           // announced, in effect from its done event
        int pendingScale = 1;
    };
    friend struct OutputEvents;

    std::function<void(int)> changed_;
    std::vector<std::unique_ptr<Output>> outputs_;
    std::vector<const wl_output*> entered_;  // the outputs the window's surface is on
    int scale_ = 1;
};

}  // namespace zarvo::wl
