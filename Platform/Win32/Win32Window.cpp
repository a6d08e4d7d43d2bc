#include "Platform/Win32/Win32Window.h"

#include <cstdio>

// The image writer is compiled into this layer only, with internal linkage, so that another layer
// may carry its own copy without clashing symbols.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>

#include "Platform/Win32/PathResolver.h"

namespace {

constexpr UINT kMaxSide = 16384;
constexpr DWORD kBlack = 0xFF000000u;

bool ValidSize(UINT w, UINT h) {
    return w >= 1 && h >= 1 && w <= kMaxSide && h <= kMaxSide;
}

void WriteToFile(void* context, void* data, int size) {
    auto* file = static_cast<std::FILE*>(context);
    std::fwrite(data, 1, static_cast<std::size_t>(size), file);
}

}  // namespace

HWND Win32Window::Create(UINT clientWidth, UINT clientHeight) {
    if (!ValidSize(clientWidth, clientHeight))
        return nullptr;
    return Win32Handle::Publish(std::make_shared<Win32Window>(clientWidth, clientHeight));
}

std::shared_ptr<Win32Window> Win32Window::Find(HWND window) {
    return Win32Handle::Get<Win32Window>(window);
}

Win32Window::Win32Window(UINT clientWidth, UINT clientHeight)
    : width_(clientWidth),
      height_(clientHeight),
      frame_(static_cast<std::size_t>(clientWidth) * clientHeight, kBlack) {}

bool Win32Window::SetClientSize(UINT clientWidth, UINT clientHeight) {
    if (!ValidSize(clientWidth, clientHeight))
        return false;
    width_ = clientWidth;
    height_ = clientHeight;
    frame_.assign(static_cast<std::size_t>(clientWidth) * clientHeight, kBlack);
    return true;
}

DWORD Win32Window::Pixel(UINT x, UINT y) const {
    if (x >= width_ || y >= height_)
        return 0;
    return frame_[static_cast<std::size_t>(y) * width_ + x];
}

bool Win32Window::SavePng(LPCSTR path) const {
    if (!path)
        return false;
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width_) * height_ * 3);
    for (std::size_t i = 0; i < frame_.size(); ++i) {
        rgb[i * 3 + 0] = static_cast<unsigned char>(frame_[i] >> 16);
        rgb[i * 3 + 1] = static_cast<unsigned char>(frame_[i] >> 8);
        rgb[i * 3 + 2] = static_cast<unsigned char>(frame_[i]);
    }
    std::FILE* file = std::fopen(Win32Path::Resolve(path).c_str(), "wb");
    if (!file)
        return false;
    int ok = stbi_write_png_to_func(&WriteToFile, file, static_cast<int>(width_),
                                    static_cast<int>(height_), 3, rgb.data(),
                                    static_cast<int>(width_ * 3));
    bool written = ok != 0 && std::ferror(file) == 0;
    bool closed = std::fclose(file) == 0;
    return written && closed;
}

BOOL DestroyWindow(HWND window) {
    if (!Win32Window::Find(window))
        return FALSE;
    return Win32Handle::Close(window) ? TRUE : FALSE;
}

BOOL IsWindow(HWND window) {
    return Win32Window::Find(window) ? TRUE : FALSE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    auto w = Win32Window::Find(window);
    if (!w || !rect)
        return FALSE;
    *rect = RECT{0, 0, static_cast<LONG>(w->ClientWidth()), static_cast<LONG>(w->ClientHeight())};
    return TRUE;
}
