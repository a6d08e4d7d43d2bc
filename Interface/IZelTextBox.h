// Plain text a host tool puts on the screen: one font, a rectangle in pixels, a colour and a
// visibility switch. The host owns the box and deletes it through Release. Without a device the
// box never draws. Host thread.
#pragma once

#include <cstdint>

namespace ZelI {

class IZelTextBox {
public:
    // Unregisters the box from device-loss handling, frees its font and deletes it.
    virtual void Release() = 0;
    // A width or height of 0 or less lets the text's own size decide it at the next draw.
    virtual void SetRect(std::int32_t x, std::int32_t y, std::int32_t width,
                         std::int32_t height) = 0;
    // Null clears the text. wordBreak breaks lines at the rectangle's width.
    virtual void SetText(const char* text, bool wordBreak) = 0;
    virtual void ClearText() = 0;
    // 0..1 each, clamped.
    virtual void SetColor(float red, float green, float blue, float alpha) = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual void Draw() = 0;

protected:
    virtual ~IZelTextBox() = default;
};

}  // namespace ZelI
