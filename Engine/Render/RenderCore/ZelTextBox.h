// A host tool's text box: one D3DX font on the render system's device, a rectangle, a colour and
// a visibility switch. Registered with the text-box manager from construction until Release or
// deletion, so its font follows device loss and reset. Host thread.
#pragma once

#include <cstdint>
#include <string>

#include "Interface/IZelTextBox.h"
#include "Platform/Win32/Win32Types.h"

class ID3DXFont;

namespace Zel {

class IZelTextBoxImpl final : public ZelI::IZelTextBox {
public:
    // Text "", colour white, rectangle 0, word break and visible on. The font is made on the
    // render system's device (none without a device: the box never draws).
    IZelTextBoxImpl();
    // Unregisters and releases the font (deleting the box directly is as safe as Release).
    ~IZelTextBoxImpl() override;
    IZelTextBoxImpl(const IZelTextBoxImpl&) = delete;
    IZelTextBoxImpl& operator=(const IZelTextBoxImpl&) = delete;

    void Release() override { delete this; }
    void SetRect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) override;
    void SetText(const char* text, bool wordBreak) override;
    void ClearText() override { SetText("", wordBreak_); }
    void SetColor(float red, float green, float blue, float alpha) override;
    void SetVisible(bool visible) override { visible_ = visible; }
    void Draw() override;

    // The colour Draw uses: each channel clamped to 0..1 and rounded to a byte, A R G B from
    // the high byte down.
    static std::uint32_t PackColor(const float rgba[4]);

    const RECT& GetRect() const { return rect_; }
    bool HasFont() const { return font_ != nullptr; }
    // How many draws looked at the rectangle again (the first draw after a change does).
    std::uint32_t GetLayoutCount() const { return layouts_; }

private:
    static void OnFontLost(void* box);
    static void OnFontReset(void* box);

    std::string text_;
    float color_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    RECT rect_{0, 0, 0, 0};
    bool wordBreak_ = true;
    bool visible_ = true;
    ID3DXFont* font_ = nullptr;
    // The text the rectangle was last measured for; false: the next draw measures again.
    bool measured_ = false;
    std::uint32_t layouts_ = 0;
};

}  // namespace Zel
