// Boxes a host tool shows in the 3D view (an editor's selection and volume handles). A widget
// lives until the host calls Release; the widget renderer only points at it, and a released
// widget leaves the renderer's lists. Host thread.
#pragma once

#include <cstdint>

namespace ZelI {

class IWidget {
public:
    // Deletes the widget (and takes it out of the renderer it was added to).
    virtual void Release() = 0;
    // Which of the renderer's lists the widget goes in: 0 for boxes.
    virtual int GetType() = 0;

protected:
    virtual ~IWidget() = default;
};

// An axis-aligned box with its own edge and face colours (r, g, b, a in 0..1).
class IWidgetAABB : public IWidget {
public:
    virtual void SetMinMax(const float* minimum, const float* maximum) = 0;
    virtual void GetMinMax(float* minimum, float* maximum) = 0;
    // maximum = minimum + size; a negative size leaves the maximum below the minimum.
    virtual void SetPositionSize(const float* minimum, const float* size) = 0;
    virtual void SetWireColour(float r, float g, float b, float a) = 0;
    virtual void SetSolidColour(float r, float g, float b, float a) = 0;
    // Edges, faces, both or neither (a new box draws neither).
    virtual void SetDrawModes(bool wire, bool solid) = 0;
    // Bit 0: edges drawn; bit 1: faces drawn.
    virtual std::uint32_t GetFlags() = 0;
    // out = (maximum - minimum, 0).
    virtual void GetSize(float* out) = 0;
    virtual int GetReserved() = 0;
    virtual void ReservedHook(std::uint32_t a) = 0;
    virtual void ReservedHook3(std::uint32_t a, std::uint32_t b, std::uint32_t c) = 0;

protected:
    ~IWidgetAABB() override = default;
};

}  // namespace ZelI
