// The texture combiner: the material through which textures are drawn as quads over a render
// target on the GPU, for work such as composing character textures. It is a private clone of the
// built-in material "DrawQuad", so its pass can carry its own texture and blending without
// touching the material other quads draw with. The clone is one per process, made at the scene's
// start-up and given back at shutdown (ReleaseStaticTextures).
//
// Host thread only.
#pragma once

#include <cstdint>

namespace Zel {

class Material;
class RenderTarget;
class TextureBase;

class TextureCombiner {
public:
    TextureCombiner() = delete;

    // Keeps a clone of the material manager's "DrawQuad" as the combiner material; true. False,
    // logging "Failed to initialize texture combiner, can not find the required material", when
    // there is no such material (or no material manager). A combiner material already kept stays
    // (true).
    static bool Init();
    // The combiner material (a clone named "drawquad_$clone$_..."), null before Init.
    static Material* GetMaterial();

    // Draws the layers in order as quads covering the whole colour target, through pass 0 of the
    // combiner material and its program: the first layer replaces the target's texels, each later
    // one is laid over them with source-alpha blending (c = s·as + d·(1 − as), alpha alike).
    // Texel centres map onto pixel centres, so a layer of the target's size lands texel for
    // texel; another size is stretched. The target is bound at colour slot 0 for the draws and
    // what was there is put back; the material's pass keeps its own texture and blending.
    //
    // Runs inside the caller's scene (between BeginScene and EndScene). False, drawing nothing,
    // with the log line "Texture combine refused: <reason>" when there is no combiner material
    // or its program is not ready, the target is null, a depth-stencil surface, has no device
    // surface, is already bound or cannot be bound, count is 0, or a layer is null.
    static bool Combine(RenderTarget* target, TextureBase* const* layers, std::uint32_t count);
};

// At shutdown: when a combiner material exists, its stage textures are released, the reference
// is given back and the material is removed from the material manager. Nothing otherwise.
void ReleaseStaticTextures();

}  // namespace Zel
