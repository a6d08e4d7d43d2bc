// The root interface's switches and settings: those the render system, the configuration and the
// resource managers keep, the device's render-state presets, and the host's view of the worker.
#include "Render/RenderCore/IRenderImpl.h"

#include <atomic>
#include <cstring>

#include "Core/CResourceManager.h"
#include "Core/DeviceCaps.h"
#include "Core/FrameStats.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/ScopedLock.h"
#include "Core/XMLManager.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Character/ActorTemplates.h"
#include "Entity/Image/ImageManager.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureManager.h"
#include "Entity/Texture/TextureScale.h"
#include "Platform/Win32/Win32Sync.h"
#include "Platform/Win32/Win32Time.h"
#include "Render/FogRecord.h"
#include "Render/RenderCore/HardwareCapsList.h"
#include "Render/RenderDevice.h"
#include "Render/RenderSystem.h"
#include "Render/SystemProbes.h"

namespace Zel {
namespace {

// Bit 0 is the host's global render bit; the word is shared with loading code.
std::atomic<std::uint32_t> g_globalRenderFlags{0};

GlobalConfigManager* HostConfig() {
    return Globals::Find(&Globals::GetConfigManager);
}

// A level the host asks for by its number: the level when it is one of `levels`, else 1.
int KnownLevelOr1(std::uint32_t level, std::initializer_list<std::uint32_t> levels) {
    for (std::uint32_t known : levels)
        if (level == known)
            return static_cast<int>(level);
    return 1;
}

// Moves what only the manager still holds to its garbage list, then deletes it.
void CollectAndPurge(CResourceManager* manager) {
    if (manager) {
        manager->Collect();
        manager->Purge();
    }
}

threadio* HostWorker(int index) {
    return threadmng::GetInstance()->GetThread(index);
}

}  // namespace

// ---- Device and render system -----------------------------------------------------------------

int IRenderImpl::GetCapsLevel() {
    if (!HasShaderModel2(Globals::Find(&Globals::GetDeviceCaps)))
        return 2;
    return GetTextureScaleLevel() != 0 ? 1 : 0;
}

int IRenderImpl::SetViewport(const std::uint16_t* rect) {
    if (!renderSystem_ || !rect)
        return 0;
    renderSystem_->SetViewport(rect[0], rect[1], rect[2], rect[3]);
    return 1;
}

int IRenderImpl::GetViewport(std::uint16_t* rect) {
    if (!renderSystem_ || !rect)
        return 0;
    const ViewportRect& viewport = renderSystem_->GetViewport();
    rect[0] = static_cast<std::uint16_t>(viewport.x);
    rect[1] = static_cast<std::uint16_t>(viewport.y);
    rect[2] = static_cast<std::uint16_t>(viewport.width);
    rect[3] = static_cast<std::uint16_t>(viewport.height);
    return 1;
}

void IRenderImpl::RestoreRenderTargets() {
    if (renderSystem_)
        renderSystem_->RestoreDefaultRenderTargets();
}

void IRenderImpl::RestoreRenderTargets2() {
    RestoreRenderTargets();
}

void IRenderImpl::RestoreRenderTargets3() {
    RestoreRenderTargets();
}

void IRenderImpl::RestoreRenderTargetsWith(std::intptr_t) {
    RestoreRenderTargets();
}

void IRenderImpl::EnableFog() {
    if (!renderSystem_)
        return;
    FogRecord fog = renderSystem_->GetFog();
    fog.mode = 3;
    renderSystem_->SetFog(fog);
}

void IRenderImpl::DisableFog() {
    if (!renderSystem_)
        return;
    FogRecord fog = renderSystem_->GetFog();
    fog.mode = 0;
    renderSystem_->SetFog(fog);
}

int IRenderImpl::SetFog(int mode, const float* colour, float start, float end, float density) {
    if (!renderSystem_)
        return 0;
    FogRecord fog;
    // The host's mode 0 is the renderer's default fog, the linear one's neighbour 3.
    fog.mode = mode == 0 || mode == 3 ? 3u : mode == 1 ? 1u : mode == 2 ? 2u : 0u;
    fog.start = start;
    fog.end = end;
    if (colour)
        std::copy(colour, colour + 4, fog.colour);
    fog.density = density;
    renderSystem_->SetFog(fog);
    return 1;
}

const void* IRenderImpl::GetRenderStatistics() {
    return Globals::Find(&Globals::GetFrameStats);
}

void IRenderImpl::MakeOrthoOffCenterMatrix(float left, float right, float bottom, float top,
                                           float nearClip, float farClip, float* out) {
    if (renderSystem_ && out)
        renderSystem_->MakeOrthoOffCenterMatrix(left, right, bottom, top, nearClip, farClip, out);
}

void IRenderImpl::RestoreWindowMode() {
    if (renderSystem_)
        renderSystem_->RestoreWindowMode();
}

void IRenderImpl::SuspendWindowMode() {
    if (renderSystem_)
        renderSystem_->SuspendWindowMode();
}

void IRenderImpl::SetAntiAliasing(int level) {
    if (renderSystem_)
        renderSystem_->SetAntiAliasing(static_cast<std::uint32_t>(level));
}

int IRenderImpl::GetAntiAliasing() {
    if (!renderSystem_)
        return 1;
    return KnownLevelOr1(renderSystem_->GetDisplaySettings().antialiasMode, {1, 2, 4, 8, 16, 32});
}

int IRenderImpl::GetAntiAliasingCaps() {
    const DeviceCaps* caps = Globals::Find(&Globals::GetDeviceCaps);
    return caps ? static_cast<int>(caps->multisampleMask & 0x3Fu) : 0;
}

void IRenderImpl::SetAnisotropy(int level) {
    if (renderSystem_)
        renderSystem_->SetAnisotropy(static_cast<std::uint32_t>(level));
}

int IRenderImpl::GetAnisotropy() {
    return renderSystem_ ? KnownLevelOr1(renderSystem_->GetAnisotropy(), {1, 2, 4, 8, 16}) : 1;
}

int IRenderImpl::GetAnisotropyCaps() {
    const DeviceCaps* caps = Globals::Find(&Globals::GetDeviceCaps);
    return caps ? static_cast<int>(caps->anisotropyMask & 0x1Fu) : 0;
}

void IRenderImpl::SetDisplayFlag(std::uint8_t flag) {
    if (renderSystem_)
        renderSystem_->SetDisplayFlag(flag);
}

std::uint8_t IRenderImpl::GetDisplayFlag() {
    return renderSystem_ ? renderSystem_->GetDisplayFlag() : 0;
}

void IRenderImpl::ApplyDisplaySettings() {
    if (renderSystem_)
        renderSystem_->ApplyDisplaySettings();
}

void IRenderImpl::GetBackBufferSize(int* width, int* height) {
    std::uint32_t w = 0, h = 0;
    if (renderSystem_)
        renderSystem_->GetBackBufferSize(&w, &h);
    if (width)
        *width = static_cast<int>(w);
    if (height)
        *height = static_cast<int>(h);
}

void IRenderImpl::SetWireframe() {
    if (renderSystem_)
        renderSystem_->SetWireframeMode(true);
}

void IRenderImpl::SetSolid() {
    if (renderSystem_)
        renderSystem_->SetWireframeMode(false);
}

std::intptr_t IRenderImpl::GetVisibleQueryObject() {
    return renderSystem_ ? renderSystem_->GetVisibleQueryObject() : -1;
}

// Each preset leaves the states it fixes locked, so the material passes drawn under it cannot
// undo them; preset 0 hands colour writes back to the passes.
void IRenderImpl::SetRenderStatePreset(int preset) {
    RenderDevice* device = renderSystem_ ? renderSystem_->GetRenderDevice() : nullptr;
    if (!device || preset < 0 || preset > 2)
        return;
    if (preset == 1) {
        device->SetColorWriteMask(false, false, false, true);
        device->LockRenderState(LOCK_COLOUR_WRITE);
        device->SetZWriteEnable(false);
        device->LockRenderState(LOCK_DEPTH_WRITE);
        device->SetAlphaBlendEnable(true);
        device->LockRenderState(LOCK_ALPHA_BLEND);
        device->SetSeparateAlphaBlend(true);
        return;
    }
    device->UnlockRenderState(LOCK_COLOUR_WRITE);
    if (preset == 2) {
        device->SetColorWriteMask(true, true, true, false);
        device->LockRenderState(LOCK_COLOUR_WRITE);
    } else {
        device->SetColorWriteMask(true, true, true, true);
    }
    device->UnlockRenderState(LOCK_DEPTH_WRITE);
    device->SetZWriteEnable(true);
    device->UnlockRenderState(LOCK_ALPHA_BLEND);
    device->SetAlphaBlendEnable(false);
    device->SetSeparateAlphaBlend(false);
}

// ---- Configuration ----------------------------------------------------------------------------

void IRenderImpl::SetUseActionLib(bool on) {
    if (GlobalConfigManager* config = HostConfig())
        config->SetUseActionLib(on);
}

bool IRenderImpl::UseActionLib() {
    GlobalConfigManager* config = HostConfig();
    return config && config->UseActionLib();
}

void IRenderImpl::SetUseCloth(bool on) {
    if (GlobalConfigManager* config = HostConfig())
        config->SetUseCloth(on);
}

bool IRenderImpl::UseCloth() {
    GlobalConfigManager* config = HostConfig();
    return config && config->UseCloth();
}

void IRenderImpl::SetStripToList(bool on) {
    if (GlobalConfigManager* config = HostConfig())
        config->SetStripToList(on);
}

bool IRenderImpl::StripToList() {
    GlobalConfigManager* config = HostConfig();
    return config && config->StripToList();
}

void IRenderImpl::SetPreferBinaryFiles(bool on) {
    if (GlobalConfigManager* config = HostConfig())
        config->SetPreferBinaryFiles(on);
}

bool IRenderImpl::PreferBinaryFiles() {
    GlobalConfigManager* config = HostConfig();
    return config && config->PreferBinaryFiles();
}

void IRenderImpl::SetCompressToDDS(bool on) {
    ScopedLock lock(threadmng::kMainLock);
    if (GlobalConfigManager* config = HostConfig())
        config->SetCompressToDDS(on);
}

bool IRenderImpl::CompressToDDS() {
    ScopedLock lock(threadmng::kMainLock);
    GlobalConfigManager* config = HostConfig();
    return config && config->CompressToDDS();
}

void IRenderImpl::SetActorMoveScale(float value) {
    if (GlobalConfigManager* config = HostConfig())
        config->SetActorMoveScale(value);
}

void IRenderImpl::SetTextureScaleLevel(int level) {
    ScopedLock lock(threadmng::kMainLock);
    Zel::SetTextureScaleLevel(level);
}

int IRenderImpl::GetTextureScaleLevel() {
    ScopedLock lock(threadmng::kMainLock);
    return Zel::GetTextureScaleLevel();
}

void IRenderImpl::SetGlobalRenderBit(bool on) {
    ScopedLock lock(threadmng::kMainLock);
    if (on)
        g_globalRenderFlags.fetch_or(1u);
    else
        g_globalRenderFlags.fetch_and(~1u);
}

bool IRenderImpl::GetGlobalRenderBit() {
    return (g_globalRenderFlags.load() & 1u) != 0;
}

bool IRenderImpl::LoadRenderSystemFile(const char* name) {
    // The render system keeps no file of its own to read; the name is only checked.
    return name != nullptr;
}

// ---- Resource managers ------------------------------------------------------------------------

void IRenderImpl::RemoveAllMaterials() {
    ScopedLock lock(threadmng::kMainLock);
    // The pick material goes with the others; DrawPicked falls back to the default one.
    pickMaterial_.Reset();
    // Only what nothing draws with any more goes: scene objects, wrappers and the render's own
    // effects keep pointers to the materials they use.
    if (MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager))
        materials->RemoveUnused();
}

void IRenderImpl::ReloadAllMaterials() {
    ScopedLock lock(threadmng::kMainLock);
    if (MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager))
        materials->ReloadAll();
}

int IRenderImpl::GetMaterialCount() {
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    return materials ? static_cast<int>(materials->GetMaterialCount()) : 0;
}

int IRenderImpl::GetMaterialTotalCount() {
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    return materials ? static_cast<int>(materials->GetTotalCount()) : 0;
}

void IRenderImpl::ClearTexturePool() {
    if (TextureManager* textures = Globals::Find(&Globals::GetTextureManager))
        textures->ClearTexturePool();
}

int IRenderImpl::CollectResources() {
    ScopedLock lock(threadmng::kMainLock);
    CollectAndPurge(Globals::Find(&Globals::GetMaterialManager));
    if (TextureManager* textures = Globals::Find(&Globals::GetTextureManager))
        textures->PurgeUnused();
    CollectAndPurge(Globals::Find(&Globals::GetImageManager));
    CollectAndPurge(Globals::Find(&Globals::GetXMLManager));
    return 0;
}

int IRenderImpl::ReleaseAllEntities() {
    // The snapshot templates are entities of the scene too: they go first, through the scene,
    // so that none is kept over an actor the factory hands out again.
    if (ActorTemplates* templates = Globals::Find(&Globals::GetActorTemplates))
        templates->ReleaseTemplates();
    if (SceneManager* scene = Globals::Find(&Globals::GetSceneManager))
        scene->ReleaseAllEntities();
    return 0;
}

// ---- The worker -------------------------------------------------------------------------------

int IRenderImpl::StopWorker(int worker) {
    threadio* thread = HostWorker(worker);
    if (!thread)
        return -1;
    thread->Stop();
    return 0;
}

// The host's share of the worker's lock-step: the main-thread halves of the tasks run here. The
// wait lasts at least the configured time and until the active list is short enough.
int IRenderImpl::WaitForIOTasks(int worker) {
    threadio* thread = HostWorker(worker);
    if (!thread)
        return 0;
    const threadmng::Settings& settings = threadmng::GetInstance()->GetSettings();
    const DWORD began = timeGetTime();
    while (timeGetTime() - began < settings.time ||
           thread->GetActiveCount() > static_cast<std::uint32_t>(std::max(settings.maxnum, 0))) {
        // A worker that is not running cannot shorten its list: pumping it would never end.
        if (thread->Pump() < 0 && !thread->IsStarted())
            break;
        if (settings.sleep >= 0)
            Sleep(static_cast<DWORD>(settings.sleep));
    }
    return 0;
}

int IRenderImpl::GetTaskState(std::uint32_t taskId) {
    const std::int32_t state = threadmng::GetInstance()->GetTaskState(taskId);
    return state == 7 ? 0 : state;
}

int IRenderImpl::GetWorkerTaskCount(int worker) {
    threadio* thread = HostWorker(worker);
    return thread ? static_cast<int>(thread->GetActiveCount()) : 0;
}

int IRenderImpl::RunTaskSync(std::uint32_t taskId, int worker) {
    threadio* thread = HostWorker(worker);
    return thread ? thread->SyncTask(taskId) : 0;
}

int IRenderImpl::CancelTask(std::uint32_t taskId, void*) {
    return threadmng::CancelTask(0, taskId);
}

void IRenderImpl::LoadHardwareCaps(ZelI::HardwareCapsRecord* caps) {
    RenderDevice* device = renderSystem_ ? renderSystem_->GetRenderDevice() : nullptr;
    if (!caps || !device)
        return;
    // Cut to the record's field, which stays zero-terminated.
    std::memset(caps->description, 0, sizeof(caps->description));
    const char* adapter = device->GetAdapterDescription();
    std::memcpy(caps->description, adapter, strnlen(adapter, sizeof(caps->description) - 1));
    HardwareCapsList list;
    list.Load(HardwareCapsList::kPath);
    caps->performance = list.LookUp(caps->description);
    caps->videoMemoryMB = QueryVideoMemory(VM_TOTAL, window_, device) >> 20;
    const DeviceCaps* deviceCaps = Globals::Find(&Globals::GetDeviceCaps);
    const DeviceCaps none;
    const DeviceCaps& c = deviceCaps ? *deviceCaps : none;
    caps->maxTextureWidth = c.maxTextureWidth;
    caps->maxAnisotropy = c.maxAnisotropy;
    const std::uint32_t words[4] = {c.mmx, c.threeDNow, c.sse, c.sse2};
    for (int i = 0; i < 4; ++i) caps->flags[i] = words[i] != 0 ? 1 : 0;
}

}  // namespace Zel
