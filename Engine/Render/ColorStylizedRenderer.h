// The colour-stylised renderer the render system embeds (the host's ZelI::ColorStylizedRenderer).
// End draws the collected models into target A as they are and into target B under a private
// white light with their parts widened; "FilterSilhouette" outlines B into C; target D gets B
// recoloured through the style texture ("DrawColorStylizedQuad") with C laid over it in the
// silhouette colour ("RenderSilhouette"); "DrawColorStylizedCombinedQuad" lays D over A on the
// screen. The four targets follow the device (released on loss, made again after a reset, at the
// viewport's size). Without the optional render-target format or any of the four materials (from
// "../Data/Materials/") the renderer stays disabled and draws the bracketed objects through a
// plain render pipe. Host thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Core/SharedPtr.h"
#include "Entity/Material/HeldMaterial.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/ShaderParamTable.h"
#include "Entity/Texture/HeldRenderTarget.h"
#include "Entity/Texture/RenderTarget.h"
#include "Interface/ColorStylizedRenderer.h"

namespace Zel {

class Light;
class RenderSystem;
class TextureBase;

class ColorStylizedRenderer : public ZelI::ColorStylizedRenderer {
public:
    // Target order: plain models, widened models, silhouette, stylised image.
    enum TargetIndex : std::uint32_t { kTargetA, kTargetB, kTargetC, kTargetD, kTargetCount };
    enum MaterialIndex : std::uint32_t { kFilter, kSilhouette, kStylise, kCombine, kMaterialCount };
    // The part factor of the widened pass.
    static constexpr float kWidenedPartFactor = 1.5f;

    ColorStylizedRenderer();
    ~ColorStylizedRenderer() override;
    ColorStylizedRenderer(const ColorStylizedRenderer&) = delete;
    ColorStylizedRenderer& operator=(const ColorStylizedRenderer&) = delete;

    void SetColorStylizedFactor(float factor) override;
    void SetTransparencyTune(float tune) override;
    void SetColorModulate(float r, float g, float b, float a) override;
    void SetStyleTexture(ZelI::ITexture* texture) override;
    void Begin(ZelI::ILight* light) override;
    void AddModel(ZelI::IModel* model) override;
    void AddEffect(ZelI::ISpecialEffect* effect) override;
    void End() override;

    // Loads the four materials and, when the device can render to the optional format and all
    // four exist, makes the targets and the private light and enables the stylised path. The
    // system is not owned and must outlive this object's use.
    void Init(RenderSystem* system);
    // (Re)makes targets A-D at the viewport's size and sets every table's "g_texelSize"; nothing
    // while disabled.
    void CreateRenderTargets();
    // Gives the four targets back to the texture manager.
    void ReleaseRenderTargets();
    // Deletes the private light, releases the targets and materials and disables the renderer.
    void Release();

    bool IsEnabled() const { return enabled_; }
    bool IsBegun() const { return begun_; }
    RenderTarget* GetTarget(TargetIndex index) const { return targets_[index].Get(); }
    Material* GetMaterial(MaterialIndex index) const { return materials_[index].Get(); }
    Light* GetPrivateLight() const { return privateLight_.get(); }
    std::size_t GetModelCount() const { return models_.size(); }
    const ShaderParamTable& GetFilterParameters() const { return filterParameters_; }
    const ShaderParamTable& GetSilhouetteParameters() const { return silhouetteParameters_; }
    const ShaderParamTable& GetStyliseParameters() const { return styliseParameters_; }

private:
    // Draws the collected models (part factor as given) and effects lit by the light into the
    // bound target.
    void RenderLists(Light* light, float partFactor);
    void SetPartsFactor(float factor);
    // A full-screen quad of the material's pass 0 sampling the inputs (null: none), with the
    // table's values.
    void DrawQuad(MaterialIndex material, const ShaderParamTable& parameters, TextureBase* first,
                  TextureBase* second = nullptr);
    // Binds the target, clears it to transparent black and opens the scene.
    void BeginTarget(TargetIndex index);
    void EndTarget(TargetIndex index);

    std::vector<ZelI::IModel*> models_;
    std::vector<ZelI::ISpecialEffect*> effects_;
    ZelI::ILight* light_ = nullptr;
    // Kept out of the scene's light list: it lights only the widened pass.
    std::unique_ptr<Light> privateLight_;
    RenderSystem* system_ = nullptr;
    HeldRenderTarget targets_[kTargetCount];
    HeldMaterial materials_[kMaterialCount];
    TextureBase* styleTexture_ = nullptr;  // the host's; not owned
    bool begun_ = false;
    bool enabled_ = false;
    ShaderParamTable filterParameters_;
    ShaderParamTable silhouetteParameters_;
    ShaderParamTable styliseParameters_;
};

}  // namespace Zel
