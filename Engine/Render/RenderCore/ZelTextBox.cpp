#include "Render/RenderCore/ZelTextBox.h"

#include "Core/Globals.h"
#include "Entity/Scene/SceneManager.h"
#include "Platform/D3DX9/ID3DXFont.h"
#include "Render/RenderCore/ZelTextBoxManager.h"
#include "Render/RenderSystem.h"
#include "Render/d3d9/RenderDeviceD3D9.h"

namespace Zel {
namespace {

IDirect3DDevice9* CurrentDevice() {
    Globals* globals = Globals::GetExisting();
    SceneManager* scene = globals ? globals->GetSceneManager() : nullptr;
    RenderSystem* system = scene ? scene->GetRenderSystem() : nullptr;
    auto* device = system ? dynamic_cast<RenderDeviceD3D9*>(system->GetRenderDevice()) : nullptr;
    return device ? device->GetD3DDevice() : nullptr;
}

ZelTextBoxManager* TextBoxes() {
    Globals* globals = Globals::GetExisting();
    return globals ? globals->GetTextBoxManager() : nullptr;
}

// Rounded to the nearest byte; NaN counts as 0.
std::uint32_t RoundedChannelByte(float value) {
    if (value >= 1.0f)
        return 255;
    if (!(value > 0.0f))
        return 0;
    return static_cast<std::uint32_t>(value * 255.0f + 0.5f);
}

}  // namespace

IZelTextBoxImpl::IZelTextBoxImpl() {
    if (IDirect3DDevice9* device = CurrentDevice())
        D3DXCreateFontA(device, -12, 0, 700, 1, FALSE, 1, 0, 0, 0, "System", &font_);
    if (ZelTextBoxManager* manager = TextBoxes())
        manager->Register({this, &OnFontLost, &OnFontReset, nullptr});
}

IZelTextBoxImpl::~IZelTextBoxImpl() {
    if (ZelTextBoxManager* manager = TextBoxes())
        manager->Unregister(this);
    if (font_)
        font_->Release();
}

void IZelTextBoxImpl::OnFontLost(void* box) {
    if (ID3DXFont* font = static_cast<IZelTextBoxImpl*>(box)->font_)
        font->OnLostDevice();
}

void IZelTextBoxImpl::OnFontReset(void* box) {
    if (ID3DXFont* font = static_cast<IZelTextBoxImpl*>(box)->font_)
        font->OnResetDevice();
}

void IZelTextBoxImpl::SetRect(std::int32_t x, std::int32_t y, std::int32_t width,
                              std::int32_t height) {
    rect_ = RECT{x, y, x + width, y + height};
    measured_ = false;
}

void IZelTextBoxImpl::SetText(const char* text, bool wordBreak) {
    bool changed = true;
    if (!text)
        text_.clear();
    else if (text_ != text)
        text_ = text;
    else
        changed = false;
    if (wordBreak_ != wordBreak)
        wordBreak_ = wordBreak;
    else if (!changed)
        return;
    measured_ = false;
}

void IZelTextBoxImpl::SetColor(float red, float green, float blue, float alpha) {
    color_[0] = red;
    color_[1] = green;
    color_[2] = blue;
    color_[3] = alpha;
}

std::uint32_t IZelTextBoxImpl::PackColor(const float rgba[4]) {
    return RoundedChannelByte(rgba[3]) << 24 | RoundedChannelByte(rgba[0]) << 16 |
           RoundedChannelByte(rgba[1]) << 8 | RoundedChannelByte(rgba[2]);
}

void IZelTextBoxImpl::Draw() {
    if (!font_ || text_.empty() || !visible_)
        return;
    DWORD format = DT_EXPANDTABS;
    if (wordBreak_)
        format |= DT_WORDBREAK;
    if (!measured_) {
        measured_ = true;
        ++layouts_;
        const LONG width = rect_.right - rect_.left;
        const LONG height = rect_.bottom - rect_.top;
        bool measure = true;
        if (width > 0 && height > 0) {
            measure = false;
        } else if (width > 0) {
            rect_.bottom = 0;
        } else if (height >= 0) {
            rect_.right = 0;
            rect_.bottom = 0;
            measure = false;
        }
        if (measure)
            font_->DrawTextA(nullptr, text_.c_str(), -1, &rect_, format | DT_CALCRECT, 0xFFFFFFFFu);
    }
    font_->DrawTextA(nullptr, text_.c_str(), -1, &rect_, format | DT_NOCLIP, PackColor(color_));
}

}  // namespace Zel
