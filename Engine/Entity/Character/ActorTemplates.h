// The two template actors that actor snapshots take their standard body skin from, and the
// snapshot shaders: while an actor is pictured, the render system draws with the snapshot shader
// compiler and constant filler, whose skin texture is the body texture of the template the
// pictured actor's sex flag selects (template 0 when the flag is set, template 1 otherwise).
//
// Globals builds the holder with no templates; destroying it gives the templates held back to the
// actor factory, so it goes before the factories.
//
// Threads: the host thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace ZelI {
class ICamera;
class IMoveObject;
class IRender;
class IRenderTarget;
class ISpecialEffectManager;
}  // namespace ZelI

namespace Zel {

class Actor;
class IZelShaderCompiler;
class IZelShaderConstFiller;
class LegacyShaderCompilerScreenShot;
class RenderSystem;
class TextureBase;
class ZelShaderConstFillerScreenShot;

class ActorTemplates {
public:
    ActorTemplates();
    ~ActorTemplates();
    ActorTemplates(const ActorTemplates&) = delete;
    ActorTemplates& operator=(const ActorTemplates&) = delete;

    // The template of slot 0 or 1; null while none is held (or for another slot).
    Actor* GetTemplate(int slot) const {
        return slot == 0 || slot == 1 ? templates_[slot] : nullptr;
    }
    // Takes an actor acquired from the actor factory as the template of the slot, giving back the
    // one held before; another slot is ignored.
    void SetTemplate(int slot, Actor* actor);
    // Gives both templates back and forgets them; the next snapshot makes them again. The host's
    // release of every entity calls it first: a template kept past that release would point at
    // an actor the factory hands out again.
    void ReleaseTemplates();

    // The body-part files of the templates, slot by slot (under the resource prefix), and the
    // actor description both are made from.
    static constexpr std::uint32_t kTemplatePartCount = 9;
    static constexpr const char* kDescription = "media/shaders/role/output/dress.xml";
    static const char* GetTemplatePartFile(int slot, std::uint32_t part);

    // Makes the missing templates through the render interface: template 0 of sex 0, then
    // template 1 of sex 1, each dressed in its nine parts and its materials rebuilt. A part that
    // fails to load is logged by the actor and left empty.
    void InitTemplates(ZelI::IRender& render);

    // ---- Snapshots ----
    // What the host asks of one snapshot: the image size in pixels, the camera to draw from
    // (null: the main camera), the clear colour (four floats; null keeps the current one), and
    // further models drawn inside the bracket of the host's effect manager (both optional).
    struct SnapshotRequest {
        int width = 0;
        int height = 0;
        ZelI::ICamera* camera = nullptr;
        const float* clearColour = nullptr;
        ZelI::ISpecialEffectManager* bracket = nullptr;
        ZelI::IMoveObject* const* models = nullptr;
        int modelCount = 0;
    };
    // The three steps of a snapshot of the actor, whose host interface is self: the snapshot
    // shaders go in, the actor's one-sided materials become two-sided, its cloth pieces are
    // shaped from its pose, the templates are made when missing, and the template the actor's
    // sex flag selects wears the actor's body file.
    void Begin(ZelI::IRender& render, Actor& actor);
    // Draws the actor (and the request's models) into the snapshot target in one frame of its
    // own, putting the viewport, clear flags and colour back afterwards. The target is kept
    // while the requested size stays the same.
    void Render(ZelI::IRender& render, const SnapshotRequest& request, ZelI::IMoveObject& self);
    // The system's shaders go back (unless kept), the actor's materials become one-sided again,
    // and when fileName is given the target's picture is saved to it in the format of its
    // extension. Answers whether the requested file was written (true when none was asked).
    bool End(Actor& actor, const char* fileName);
    // The snapshot target; null before the first snapshot. Owned by this holder.
    ZelI::IRenderTarget* GetSnapshotTarget() const { return target_; }

    // The body skin the snapshot filler binds for an actor whose sex flag is (or is not) set;
    // null while that template is missing or has no body texture.
    TextureBase* GetSkinTexture(bool sexFlagSet) const;
    // Puts the snapshot compiler and filler (made on first use) into the render system, keeping
    // the ones installed before.
    void InstallSnapshotShaders(RenderSystem& renderSystem);
    // Puts the kept compiler and filler back, unless the host asked to keep the snapshot ones
    // installed. Nothing happens when no snapshot shaders are installed.
    void RestoreShaders(RenderSystem& renderSystem);
    // The host's request to leave the snapshot shaders installed after a snapshot.
    // The host sets it through its global environment's actor flag.
    static void SetKeepSnapshotShaders(bool keep) { keepSnapshotShaders_ = keep; }
    static bool GetKeepSnapshotShaders() { return keepSnapshotShaders_; }

    LegacyShaderCompilerScreenShot* GetSnapshotCompiler() const { return compiler_.get(); }
    ZelShaderConstFillerScreenShot* GetSnapshotFiller() const { return filler_.get(); }

private:
    Actor* templates_[2] = {};
    // Whether the template came through the render interface (registered with the scene).
    bool registered_[2] = {};
    ZelI::IRenderTarget* target_ = nullptr;
    int targetWidth_ = 0;  // the size the target was asked for, in pixels
    int targetHeight_ = 0;
    std::unique_ptr<LegacyShaderCompilerScreenShot> compiler_;
    std::unique_ptr<ZelShaderConstFillerScreenShot> filler_;
    IZelShaderCompiler* previousCompiler_ = nullptr;
    IZelShaderConstFiller* previousFiller_ = nullptr;
    bool installed_ = false;
    static std::atomic<bool> keepSnapshotShaders_;
};

}  // namespace Zel
