// The picture as the Windows host shows it: a top-down 32-bit DIB section of the picture's size, selected
// into a memory device context, whose words have the picture's layout (0x00RRGGBB). WM_PAINT copies from
// it; it goes with the window (WM_DESTROY).
#pragma once

#include <windows.h>

#include "host/failure.hpp"
#include "host/present_sink.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace zarvo::win32 {

class DibSink final : public PresentSink {
public:
    void present(const Framebuffer& picture, std::span<const Rect> regions) override
    {
        if (picture.width() != width_ || picture.height() != height_) {
            remake(picture.width(), picture.height());
        }
        GdiFlush();  // GDI is done with the bits before they change
        const auto width = static_cast<std::size_t>(picture.width());
        for (const Rect& r : regions) {
            for (int y = r.y; y < r.y + r.h; ++y) {
                const std::size_t row = static_cast<std::size_t>(y) * width + static_cast<std::size_t>(r.x);
                std::memcpy(bits_ + row, picture.pixels() + row, static_cast<std::size_t>(r.w) * sizeof(std::uint32_t));
            }
            const RECT rect{r.x, r.y, r.x + r.w, r.y + r.h};
            InvalidateRect(hwnd, &rect, FALSE);
        }
    }
    HDC dc() const { return dc_; }
    void release()
    {
        if (dc_ != nullptr) {
            SelectObject(dc_, previous_);
            DeleteDC(dc_);
        }
        if (bitmap_ != nullptr) {
            DeleteObject(bitmap_);
        }
        dc_ = nullptr;
        bitmap_ = nullptr;
        bits_ = nullptr;
        width_ = 0;
        height_ = 0;
    }

    HWND hwnd = nullptr;

private:
    // A DIB section of width x height (both above 0: a picture presented is never empty).
    void remake(int width, int height)
    {
        release();
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // negative: top row first, as the picture stores it
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        HDC screen = GetDC(hwnd);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        dc_ = CreateCompatibleDC(screen);
        ReleaseDC(hwnd, screen);
        if (bitmap_ == nullptr || dc_ == nullptr || bits == nullptr) {
            release();
            raiseRuntimeError("out of memory: the window's picture cannot be created");
        }
        previous_ = SelectObject(dc_, bitmap_);
        bits_ = static_cast<std::uint32_t*>(bits);
        width_ = width;
        height_ = height;
    }

    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    std::uint32_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace zarvo::win32
