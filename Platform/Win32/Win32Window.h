// A window stand-in: a handle with a client size and a frame buffer that presents write into.
// Nothing is shown on screen; tests and the demo read the frame buffer or save it as an image.
#pragma once

#include <memory>
#include <vector>

#include "Platform/Win32/Win32Handle.h"
#include "Platform/Win32/Win32Types.h"

// One window. The frame buffer holds width × height A8R8G8B8 words, row-major, top row first;
// a new or resized window is black (0xFF000000). The handle table owns the window: it lives until
// DestroyWindow. Host thread only.
class Win32Window final : public Win32Handle::Object {
public:
    // Makes a window whose client area is width × height pixels (each at least 1 and at most
    // 16384); answers null for a size outside that range.
    static HWND Create(UINT clientWidth, UINT clientHeight);
    // The window behind a handle; null for a destroyed, foreign or null handle.
    static std::shared_ptr<Win32Window> Find(HWND window);

    explicit Win32Window(UINT clientWidth, UINT clientHeight);
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    UINT ClientWidth() const { return width_; }
    UINT ClientHeight() const { return height_; }
    // Resizes the client area (same limits as Create; false and unchanged outside them); the
    // frame buffer becomes black.
    bool SetClientSize(UINT clientWidth, UINT clientHeight);

    // The frame buffer, ClientWidth() words per row.
    const std::vector<DWORD>& Frame() const { return frame_; }
    std::vector<DWORD>& MutableFrame() { return frame_; }
    // The A8R8G8B8 word at (x, y); 0 outside the client area.
    DWORD Pixel(UINT x, UINT y) const;

    // Presents made into this window so far (counted by whoever writes the frame).
    ULONGLONG PresentCount() const { return presents_; }
    void NotePresent() { ++presents_; }

    // Writes the frame buffer as an opaque 8-bit RGB PNG file; false when it cannot be written.
    bool SavePng(LPCSTR path) const;

private:
    UINT width_;
    UINT height_;
    std::vector<DWORD> frame_;
    ULONGLONG presents_ = 0;
};

// Destroys a window made by Win32Window::Create; FALSE for any other handle.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
// The client rectangle (0, 0, width, height); FALSE for a handle that is not a window.
BOOL GetClientRect(HWND window, RECT* rect);
