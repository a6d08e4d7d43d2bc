// The host's box widgets and the renderer that draws them. Each box is one instance of a unit box
// whose corners the effect "../data/include/DrawWdigetSCIns.fx" places from per-instance arrays
// (minimum corner with packed colour, maximum corner); up to 120 boxes go in one draw, faces and
// edges in separate draws. The renderer works on the Direct3D 9 device of the render device and
// keeps static default-pool buffers, which it releases when the device is lost and makes again
// after a reset. Host thread.
#pragma once

#include <cstdint>
#include <vector>

#include "Core/SharedPtr.h"
#include "Interface/IWidget.h"
#include "Interface/IWidgetRender.h"
#include "Platform/D3D9/D3D9.h"
#include "Platform/D3DX9/ID3DXEffect.h"
#include "Render/RenderResourceManager.h"

namespace Zel {

class GpuProgram;
class WidgetRenderImpl;

class WidgetAABBImpl final : public ZelI::IWidgetAABB {
public:
    WidgetAABBImpl(const float* minimum, const float* maximum);

    void Release() override;
    int GetType() override { return 0; }
    void SetMinMax(const float* minimum, const float* maximum) override;
    void GetMinMax(float* minimum, float* maximum) override;
    void SetPositionSize(const float* minimum, const float* size) override;
    void SetWireColour(float r, float g, float b, float a) override;
    void SetSolidColour(float r, float g, float b, float a) override;
    void SetDrawModes(bool wire, bool solid) override;
    std::uint32_t GetFlags() override { return flags_; }
    void GetSize(float* out) override;
    int GetReserved() override { return 0; }
    void ReservedHook(std::uint32_t) override {}
    void ReservedHook3(std::uint32_t, std::uint32_t, std::uint32_t) override {}

    const float* GetMinimum() const { return min_; }
    const float* GetMaximum() const { return max_; }
    const float* GetWireColour() const { return wire_; }
    const float* GetSolidColour() const { return solid_; }
    // The renderer that holds the widget in a list (set by AddWidget), told when it goes.
    void SetOwner(WidgetRenderImpl* owner) { owner_ = owner; }

private:
    ~WidgetAABBImpl() override = default;

    float min_[3];
    float max_[3];
    float wire_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float solid_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    std::uint32_t flags_ = 0;
    WidgetRenderImpl* owner_ = nullptr;
};

// A colour (r, g, b, a in 0..1) in one float: 6 bits a channel, r highest; exact in a float.
float PackWidgetColour(const float* rgba);

// The instanced box renderer.
class AABBObjRender8 : public RenderResourceManager {
public:
    static constexpr std::uint32_t kBoxesPerDraw = 120;
    static constexpr std::uint32_t kVerticesPerBox = 8;
    static constexpr std::uint32_t kLineIndicesPerBox = 24;
    static constexpr std::uint32_t kTriangleIndicesPerBox = 36;
    static constexpr std::uint32_t kVertexStride = 24;
    static constexpr const char* kEffectPath = "../data/include/DrawWdigetSCIns.fx";

    AABBObjRender8();
    ~AABBObjRender8() override;
    AABBObjRender8(const AABBObjRender8&) = delete;
    AABBObjRender8& operator=(const AABBObjRender8&) = delete;

    // Takes the render system's device, makes the buffers and loads the effect. False (reported)
    // when any of them failed; the renderer then draws nothing.
    bool Init();
    // Draws the widgets of the list: all faces, then all edges.
    void Render(const std::vector<ZelI::IWidget*>& widgets);
    bool IsReady() const;
    // Boxes of each instanced draw of the last Render, in order, and whether it drew faces.
    struct DrawRecord {
        bool solid;
        std::uint32_t boxes;
    };
    const std::vector<DrawRecord>& GetLastDraws() const { return lastDraws_; }

    void OnLostDevice() override { ReleaseBuffers(); }
    void OnResetDevice() override { CreateBuffers(); }
    void PurgeUnused() override {}

private:
    bool CreateBuffers();
    void ReleaseBuffers();
    bool LoadEffect();
    void SortByFlags(const std::vector<ZelI::IWidget*>& widgets);
    void DrawInstanced(const std::vector<WidgetAABBImpl*>& list, bool solid);

    IDirect3DDevice9* device_ = nullptr;
    IDirect3DVertexDeclaration9* declaration_ = nullptr;
    IDirect3DVertexBuffer9* vertexBuffer_ = nullptr;
    IDirect3DIndexBuffer9* lineIndices_ = nullptr;
    IDirect3DIndexBuffer9* triangleIndices_ = nullptr;
    SharedPtr<GpuProgram> program_;
    ID3DXEffect* effect_ = nullptr;
    D3DXHANDLE technique_ = nullptr;
    D3DXHANDLE minParameter_ = nullptr;
    // One handle per element: a float3 array's elements may lie a whole register apart.
    std::vector<D3DXHANDLE> maxElements_;
    std::vector<WidgetAABBImpl*> wire_;
    std::vector<WidgetAABBImpl*> solid_;
    std::vector<float> minArray_;  // 4 floats a box: minimum corner, packed colour
    std::vector<float> maxArray_;  // 3 floats a box
    std::vector<DrawRecord> lastDraws_;
};

class WidgetRenderImpl final : public ZelI::IWidgetRender {
public:
    static constexpr int kWidgetTypes = 3;

    WidgetRenderImpl();
    ~WidgetRenderImpl();

    void Prepare() override {}
    void Clear() override;
    void Render() override;
    void AddWidget(ZelI::IWidget* widget) override;

    // Takes a widget that is going away out of every list.
    void RemoveWidget(ZelI::IWidget* widget);
    const std::vector<ZelI::IWidget*>& GetList(int type) const { return lists_[type]; }
    AABBObjRender8& GetBoxRenderer() { return boxes_; }

private:
    std::vector<ZelI::IWidget*> lists_[kWidgetTypes];
    AABBObjRender8 boxes_;
};

}  // namespace Zel
