// The outputs and the window's scale: the picture and the frame follow the largest scale of the outputs the
// window is on; a change of scale is a change of the client area's size in device pixels.
#include "platform/wayland/wayland_outputs.hpp"

#include "platform/wayland/input_wayland.hpp"

#include <wayland-client.h>

#include <algorithm>

namespace zarvo::wl {

struct OutputEvents {
    static void geometry(void* /*data*/, wl_output* /*output*/, std::int32_t /*x*/, std::int32_t /*y*/,
                         std::int32_t /*widthMm*/, std::int32_t /*heightMm*/, std::int32_t /*subpixel*/,
                         const char* /*make*/, const char* /*model*/, std::int32_t /*transform*/)
    {}
    static void mode(void* /*data*/, wl_output* /*output*/, std::uint32_t /*flags*/, std::int32_t /*width*/,
                     std::int32_t /*height*/, std::int32_t /*refresh*/)
    {}
    static void scale(void* data, wl_output* /*output*/, std::int32_t factor)
    {
        static_cast<Outputs::Output*>(data)->pendingScale = std::max(1, factor);
    }
    // The output's properties are complete: its scale takes effect, for a window on it at once.
    static void done(void* data, wl_output* /*output*/)
    {
        auto& output = *static_cast<Outputs::Output*>(data);
        output.scale = output.pendingScale;
        output.owner->update();
    }
    static void name(void* /*data*/, wl_output* /*output*/, const char* /*name*/) {}
    static void description(void* /*data*/, wl_output* /*output*/, const char* /*description*/) {}

    static void enter(void* data, wl_surface* /*surface*/, wl_output* output)
    {
        auto& outputs = *static_cast<Outputs*>(data);
        if (std::find(outputs.entered_.begin(), outputs.entered_.end(), output) == outputs.entered_.end()) {
            outputs.entered_.push_back(output);
        }
        outputs.update();
    }
    static void leave(void* data, wl_surface* /*surface*/, wl_output* output)
    {
        auto& outputs = *static_cast<Outputs*>(data);
        std::erase(outputs.entered_, output);
        outputs.update();
    }

    static constexpr wl_output_listener kOutput{geometry, mode, done, scale, name, description};
    static constexpr wl_surface_listener kSurface{enter, leave};
};

Outputs::~Outputs()
{
    for (const auto& output : outputs_) {
        wl_output_destroy(output->output);
    }
}

void Outputs::add(wl_registry* registry, std::uint32_t name)
{
    auto output = std::make_unique<Output>();
    output->owner = this;
    output->name = name;
    output->output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 2));
    wl_output_add_listener(output->output, &OutputEvents::kOutput, output.get());
    outputs_.push_back(std::move(output));
}

void Outputs::remove(std::uint32_t name)
{
    const auto gone =
        std::find_if(outputs_.begin(), outputs_.end(), [name](const auto& output) { return output->name == name; });
    if (gone != outputs_.end()) {
        std::erase(entered_, (*gone)->output);
        wl_output_destroy((*gone)->output);
        outputs_.erase(gone);
        update();
    }
}

void Outputs::follow(wl_surface* surface)
{
    wl_surface_add_listener(surface, &OutputEvents::kSurface, this);
}

void Outputs::update()
{
    std::vector<int> entered;
    std::vector<int> all;
    for (const auto& output : outputs_) {
        all.push_back(output->scale);
        if (std::find(entered_.begin(), entered_.end(), output->output) != entered_.end()) {
            entered.push_back(output->scale);
        }
    }
    const int scale = surfaceScale(entered, all);
    if (scale != scale_) {
        scale_ = scale;
        changed_(scale);
    }
}

}  // namespace zarvo::wl
