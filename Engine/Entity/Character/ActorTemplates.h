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
#include <memory>

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

    // ---- Snapshots ----
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
    static void SetKeepSnapshotShaders(bool keep) { keepSnapshotShaders_ = keep; }
    static bool GetKeepSnapshotShaders() { return keepSnapshotShaders_; }

    LegacyShaderCompilerScreenShot* GetSnapshotCompiler() const { return compiler_.get(); }
    ZelShaderConstFillerScreenShot* GetSnapshotFiller() const { return filler_.get(); }

private:
    Actor* templates_[2] = {};
    std::unique_ptr<LegacyShaderCompilerScreenShot> compiler_;
    std::unique_ptr<ZelShaderConstFillerScreenShot> filler_;
    IZelShaderCompiler* previousCompiler_ = nullptr;
    IZelShaderConstFiller* previousFiller_ = nullptr;
    bool installed_ = false;
    static std::atomic<bool> keepSnapshotShaders_;
};

}  // namespace Zel
