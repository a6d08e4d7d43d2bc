// Draws a group of the host's models and effects in a stylised look: the models are drawn once
// as they are and once under a white light of their own, the second copy is outlined into a
// silhouette and recoloured through the host's style texture, and the stylised copy with its
// silhouette is laid over the plain one on screen. The host brackets what gets the look between
// Begin and End. Without the render-target support or the materials the look needs, the same
// calls draw the bracketed objects plainly. The renderer belongs to the library. Host thread.
#pragma once

namespace ZelI {

class ILight;
class IModel;
class ITexture;

// A special effect of the host's that draws itself with its own render operation.
class ISpecialEffect {
public:
    virtual void Render() = 0;

protected:
    ~ISpecialEffect() = default;
};

class ColorStylizedRenderer {
public:
    virtual ~ColorStylizedRenderer() = default;
    // How much of the stylised colour replaces the plain one, clamped to 0..1 (1 at start).
    virtual void SetColorStylizedFactor(float factor) = 0;
    // The stylised image's opacity over the plain one, clamped to 0..1 (1 at start).
    virtual void SetTransparencyTune(float tune) = 0;
    // The silhouette's colour, r, g, b, a ((0.5, 0.3, 0.15, 1) at start).
    virtual void SetColorModulate(float r, float g, float b, float a) = 0;
    // The texture the stylised colours are looked up in (not owned; null: none).
    virtual void SetStyleTexture(ITexture* texture) = 0;
    // Opens the bracket, lighting the models with the light; a second Begin before End changes
    // nothing.
    virtual void Begin(ILight* light) = 0;
    // A model or effect drawn with the look (null: ignored). Neither is owned; each must live
    // until End.
    virtual void AddModel(IModel* model) = 0;
    virtual void AddEffect(ISpecialEffect* effect) = 0;
    // Draws what the bracket collected and closes it; nothing without a Begin.
    virtual void End() = 0;
};

}  // namespace ZelI
