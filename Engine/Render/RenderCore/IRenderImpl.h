// The root interface handed to the host (Globals::GetRenderInterface). Built by Globals::Init
// after the log manager and destroyed first at shutdown. Host thread.
//
// It keeps the creation parameters, the render system, window, scene root and cameras that
// CreateRenderWindow sets up (none of them owned: the scene and the render system own them), the
// frame's clear state and the byte that gates the drawing operations of a frame.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <map>
#include <string>
#include <vector>

#include "Core/Timer.h"
#include "Entity/Material/HeldMaterial.h"
#include "Entity/Scene/SelectFrustum.h"
#include "Interface/IRender.h"

namespace Zel {

class Camera;
class IVBImplRC;
class Level;
class Material;
class RenderSystem;
class RenderWindow;
class SceneManager;
class SceneNode;

// The frame-time sum of the frame statistics: each FrameEnd adds the milliseconds since the
// previous one. The first reading only starts the measure, so the time before the first frame is
// never counted. Host thread.
class FrameTimeCounter {
public:
    // Reads a monotonic counter and its frequency (counts per second); false when none can be read.
    using Clock = bool (*)(std::int64_t* count, std::int64_t* frequency);

    // The performance counter unless a clock is given.
    explicit FrameTimeCounter(Clock clock = nullptr);
    // Adds the milliseconds since the previous call to *sum (the sum is formed in floating point
    // and stored truncated); the first call only takes the reading and adds 0.
    void Add(std::uint32_t* sum);
    void SetClock(Clock clock);

private:
    Clock clock_;
    bool started_ = false;
    std::int64_t previous_ = 0;
};

class IRenderImpl : public ZelI::IRender {
public:
    IRenderImpl();
    ~IRenderImpl() override;
    IRenderImpl(const IRenderImpl&) = delete;
    IRenderImpl& operator=(const IRenderImpl&) = delete;

    ZelI::SystemInfo* GetSystemInfo() override;
    void* GetWindowHandle() override;
    bool GetAdapterInfo(void* record) override;
    bool GetDeviceInfo(ZelI::DeviceInfoRecord* record) override;
    void Reserved01(std::intptr_t) override;
    int GetCapsLevel() override;
    int CreateRenderWindow(const ZelI::RenderWindowParams* params) override;
    void Reserved02(std::intptr_t) override;
    int Reserved03() override;
    void GetCreateParams(ZelI::RenderWindowParams* out) override;
    bool Reserved04(std::intptr_t) override;
    void Reserved05(std::intptr_t, std::intptr_t, std::intptr_t) override;
    void SetDisplayMode(const ZelI::RenderWindowParams* params) override;
    int ResizeWindow(int width, int height) override;
    bool IsWindowed() override;
    int ResizeWindowForEditor(int width, int height, int windowId) override;
    int ResizeWindowAll(int width, int height, int a, int b, int c, int d, int e) override;
    void ResetDevice() override;
    int Reserved06(std::intptr_t) override;
    float Reserved07() override;
    void Reserved08() override;
    void FrameBegin() override;
    void FrameEnd() override;
    void SwapBuffer() override;
    int GetClearFlags() override;
    int SetClearFlags(int flags) override;
    void Clear() override;
    const float* SetClearColor(const float* rgba) override;
    std::uint8_t SetRenderFlag(std::uint8_t flag) override;
    int UpdateCameras() override;
    int StepPhysics(std::uint32_t elapsedMs) override;
    void SetPhysicsEnabled(int on) override;
    bool IsPhysicsEnabled() override;
    int SetViewport(const std::uint16_t* rect) override;
    int GetViewport(std::uint16_t* rect) override;
    bool IsProjectionDepthOffsetZero() override;
    void SetProjectionMatrix(const float* m) override;
    const float* GetProjectionMatrix(float* out) override;
    void SetViewMatrix(const float* m) override;
    const float* GetViewMatrix(float* out) override;
    void SetCameraMode(int mode) override;
    const float* GetCameraPosition(float* out) override;
    const float* LookAt(const float* eye, const float* target, const float* up) override;
    void RotateCamera(float yaw, float pitch, float roll) override;
    void Reserved09(std::intptr_t, std::intptr_t, std::intptr_t) override;
    void Reserved10(float* a, float* b, float* c) override;
    const float* GetCameraDirection(float* out) override;
    void SetCameraFov(float horizontalFov, float aspect, float nearClip, float farClip) override;
    void GetCameraFov(float* horizontalFov, float* aspect, float* nearClip,
                      float* farClip) override;
    const float* GetSecondCameraFrustum(float* out) override;
    const float* GetCameraFrustum(float* out) override;
    void Reserved11() override;
    void Reserved12() override;
    void Reserved13(std::intptr_t) override;
    void Reserved14() override;
    void Reserved15(std::intptr_t, std::intptr_t) override;
    void Reserved16() override;
    void SetCameraFarPlane(float farClip) override;
    bool IsBoxVisible(const float* box) override;
    ZelI::ISharedActionManager* GetSharedActionManager() override;
    ZelI::IModel* CreateModel(const char* name, const float* localMatrix, std::intptr_t a,
                              std::intptr_t b) override;
    ZelI::IModel* CreateModel(const char* name, std::intptr_t a) override;
    ZelI::ISkyBall* CreateSkyBall(const char* name) override;
    std::uint32_t CreateModelAsyn(const char* name, void* resultSlot, int priority) override;
    ZelI::IActor* CreateActor(const char* name, std::intptr_t word, std::intptr_t a) override;
    std::uint32_t CreateActorAsyn(const char* name, void* resultSlot, int priority,
                                  std::intptr_t word) override;
    ZelI::IActor* CreateNewActor(const char* name, int flag) override;
    std::uint32_t CreateNewActorAsyn(const char* name, void* resultSlot, int priority,
                                     int flag) override;
    ZelI::IModel* CreateModelByName(const char* name) override;
    int Reserved17(std::intptr_t) override;
    int ReleaseAllEntities() override;
    std::uint32_t CreateEffectAsyn(const char* name, void* resultSlot, void* effectManager,
                                   int priority) override;
    std::uint32_t UnloadEffectAsyn(void* effect, void* effectManager, int priority) override;
    bool RenderScene(ZelI::IMoveObject* scene) override;
    bool RenderPipe(ZelI::IMoveObject* object) override;
    void Reserved18() override;
    ZelI::IVB* GetVB() override;
    void DrawPicked(std::intptr_t type, std::intptr_t vertices, std::intptr_t vertexCount,
                    std::intptr_t stride, std::intptr_t indices, std::intptr_t count,
                    std::intptr_t normalOffset, std::intptr_t uvOffset,
                    std::intptr_t colourOffset) override;
    void DrawUserPrimitive(std::intptr_t type, std::intptr_t vertices, std::intptr_t vertexCount,
                           std::intptr_t stride, std::intptr_t indices, std::intptr_t count,
                           std::intptr_t material) override;
    void Reserved19(std::intptr_t) override;
    void Reserved20(std::intptr_t) override;
    void Reserved21(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t) override;
    bool LoadMaterialLib(const char* name, int flag) override;
    std::uint32_t QueueNamedTask(const char* name, int textureScaleLevel, int compressToDds,
                                 int priority) override;
    void RemoveAllMaterials() override;
    void ReloadAllMaterials() override;
    int GetMaterialCount() override;
    std::intptr_t GetMaterialAt(int index) override;
    ZelI::IShader* GetShader(const char* name) override;
    ZelI::IMaterial* FindMaterial(const char* name) override;
    ZelI::IMaterial* FindAndLoadMaterial(const char* name) override;
    void SetPickMaterial(ZelI::IMaterial* material) override;
    int GetMaterialTotalCount() override;
    const char* GetMaterialName(int id) override;
    bool Reserved22(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                    std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                    std::intptr_t) override;
    void Reserved23(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                    std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t) override;
    int Reserved24(std::intptr_t) override;
    void Reserved25(std::intptr_t, std::intptr_t) override;
    void Reserved26(std::intptr_t, std::intptr_t) override;
    int Reserved27() override;
    int Reserved28(std::intptr_t) override;
    void Reserved29() override;
    int Reserved30(std::intptr_t) override;
    ZelI::ILight* CreateLight(int kind) override;
    void Reserved31(std::intptr_t) override;
    int Reserved32() override;
    ZelI::IBillboard* CreateNamedBillBoard(const char* name, std::intptr_t value) override;
    ZelI::IDecal* CreateDecalEx(std::intptr_t a, std::intptr_t b, std::intptr_t c, std::intptr_t d,
                                std::intptr_t e, std::intptr_t f, std::intptr_t g,
                                std::intptr_t h) override;
    void PushToPipe(ZelI::IMoveObject* node) override;
    void PushRenderable(ZelI::IMoveObject* node) override;
    void PushNewPipe(int mode, std::intptr_t target, std::intptr_t third, std::intptr_t a,
                     std::intptr_t b) override;
    void ProcessCurrentPipe() override;
    void RenderPushedPipes() override;
    int Reserved33() override;
    void CleanPushedObjsAndSubModels() override;
    void Reserved34() override;
    void Reserved35() override;
    void RenderTransparentPipeline() override;
    void ClearTransparentPipeline() override;
    void Reserved36(std::intptr_t) override;
    void Reserved37(std::intptr_t) override;
    void Reserved38(std::intptr_t) override;
    void Reserved39() override;
    void Reserved40() override;
    void Reserved41() override;
    void Reserved42() override;
    void SetShadowVector4(const float* v) override;
    void SetShadowVector3(const float* v) override;
    void Reserved43(std::intptr_t) override;
    void Reserved44(std::intptr_t) override;
    void Reserved45(std::intptr_t) override;
    void Reserved46(std::intptr_t) override;
    bool Reserved47() override;
    void RestoreRenderTargets() override;
    bool Reserved48() override;
    void RestoreRenderTargets2() override;
    bool Reserved49() override;
    void RestoreRenderTargets3() override;
    bool Reserved50(std::intptr_t) override;
    void RestoreRenderTargetsWith(std::intptr_t ignored) override;
    int Reserved51(std::intptr_t) override;
    int Reserved52(std::intptr_t) override;
    void Reserved53(std::intptr_t) override;
    void Reserved54(std::intptr_t, std::intptr_t) override;
    std::intptr_t GetDeviceValueA() override;
    std::intptr_t GetDeviceValueB() override;
    bool IsDistortionAvailable() override;
    void ApplyDistortion(std::intptr_t a, std::intptr_t b) override;
    void EnableFog() override;
    void DisableFog() override;
    int SetFog(int mode, const float* colour, float start, float end, float density) override;
    const void* GetRenderStatistics() override;
    int GetMaxLights() override;
    int Reserved55() override;
    void Reserved56(std::intptr_t) override;
    void SetParticleInstance(std::intptr_t a, std::intptr_t b, std::intptr_t c, std::intptr_t d,
                             std::intptr_t e, std::intptr_t f) override;
    int Reserved57(std::intptr_t) override;
    int Reserved58(std::intptr_t) override;
    int SelectInRect(const int* rect, int* resultCount) override;
    int PickRay(std::intptr_t a, std::intptr_t b) override;
    void Reserved59() override;
    int GetSelectResults(void** results, int capacity) override;
    int StopWorker(int worker) override;
    int Reserved60(std::intptr_t) override;
    int WaitForIOTasks(int worker) override;
    int GetTaskState(std::uint32_t taskId) override;
    int GetWorkerTaskCount(int worker) override;
    int RunTaskSync(std::uint32_t taskId, int worker) override;
    int CancelTask(std::uint32_t taskId, void* record) override;
    void Reserved61(std::intptr_t) override;
    int Reserved62() override;
    void Reserved63() override;
    void Reserved64() override;
    bool Reserved65() override;
    void Reserved66() override;
    void Reserved67() override;
    std::uint32_t ReleaseObjectAsyn(ZelI::IObject* object) override;
    ZelI::ICamera* GetCamera() override;
    ZelI::ICamera* CreateCamera() override;
    void SetMainCamera(ZelI::ICamera* camera) override;
    ZelI::ICamera* GetMainCamera() override;
    void SetSecondCamera(ZelI::ICamera* camera) override;
    ZelI::ICamera* GetSecondCamera() override;
    void DrawAABB(std::intptr_t a, std::intptr_t b, std::intptr_t c) override;
    void DrawWireFrame(std::intptr_t a, std::intptr_t b, std::intptr_t c, std::intptr_t d) override;
    void Reserved68(std::intptr_t) override;
    std::intptr_t BeginPixelCountQuery(std::intptr_t object) override;
    std::intptr_t GetVisibleQueryObject() override;
    ZelI::IParticleVB* CreateParticleVB() override;
    void PassToOpenPipe(std::intptr_t word) override;
    bool OpenActionLib(const char* name) override;
    bool LoadAction(const char* action, ZelI::IModel* model) override;
    std::uint32_t LoadActionAsyn(const char* action, ZelI::IModel* model, int priority) override;
    void Blur(int kernel, std::intptr_t target, std::intptr_t word) override;
    void BeginMotionBlur(std::intptr_t target) override;
    void EndMotionBlur() override;
    void RenderMotionBlur(float factor) override;
    ZelI::ILevel* CreateAndLoadLevel(const char* name) override;
    ZelI::ILevel* CreateAndLoadSimpLevel(const char* name) override;
    ZelI::ILevel* CreateAndLoadLevelEx(const char* name, std::intptr_t a, std::intptr_t b) override;
    void PushNodeWithCamera(ZelI::IMoveObject* node) override;
    void RenderShadows(ZelI::ILevel* level) override;
    void DoCommand(int id, const void* input, std::intptr_t a, void* output,
                   std::intptr_t b) override;
    std::intptr_t GetDeviceCapsWord(std::intptr_t a, std::intptr_t b, std::intptr_t c,
                                    std::intptr_t d, std::intptr_t e, std::intptr_t f) override;
    void SetUseActionLib(bool on) override;
    bool UseActionLib() override;
    void Reserved69(std::intptr_t) override;
    bool Reserved70() override;
    void ResetMotionBlur() override;
    void Reserved71(std::intptr_t) override;
    bool Reserved72() override;
    ZelI::IAction* GetTreeItemActionByName(const char* id, ZelI::IModel* model) override;
    void ReloadActions() override;
    bool ReleaseTreeAction(const char* id, ZelI::IModel* model) override;
    ZelI::IAction* GetTreeItemActionAt(std::uint32_t index, ZelI::IModel* model) override;
    void Reserved73(std::intptr_t) override;
    float Reserved74() override;
    void SetUseCloth(bool on) override;
    bool UseCloth() override;
    void SetStripToList(bool on) override;
    bool StripToList() override;
    void SetTextureScaleLevel(int level) override;
    int GetTextureScaleLevel() override;
    int CollectResources() override;
    ZelI::IEngineMonitor* GetEngineMonitor() override;
    void SetPreferBinaryFiles(bool on) override;
    bool PreferBinaryFiles() override;
    bool IsDX7Mode() override;
    void PushViewMatrix() override;
    void PopViewMatrix() override;
    void PushProjectionMatrix() override;
    void PopProjectionMatrix() override;
    ZelI::IRenderStateManager* GetRenderStateManager() override;
    ZelI::ITexture* CreateClientTexture(int* width, int* height, int kind, int flag) override;
    ZelI::IRenderTarget* CreateClientRenderTarget(int* width, int* height, int kind,
                                                  int depthFlag) override;
    void SetCompressToDDS(bool on) override;
    bool CompressToDDS() override;
    void MakeOrthoOffCenterMatrix(float left, float right, float bottom, float top, float nearClip,
                                  float farClip, float* out) override;
    void SetViewIdentityAt(float x, float y, float z) override;
    void SetViewTransform(float angle, const float* axis) override;
    float* WorldToScreen(const float* point, const float* projection, const float* view, int x,
                         int y, int width, int height, float minZ, float maxZ, float* out) override;
    void Reserved75(std::intptr_t, std::intptr_t, std::intptr_t) override;
    void Reserved76(std::intptr_t, std::intptr_t, std::intptr_t) override;
    void RestoreWindowMode() override;
    void SuspendWindowMode() override;
    void SetAntiAliasing(int level) override;
    int GetAntiAliasing() override;
    int GetAntiAliasingCaps() override;
    void SetAnisotropy(int level) override;
    int GetAnisotropy() override;
    int GetAnisotropyCaps() override;
    void SetDisplayFlag(std::uint8_t flag) override;
    std::uint8_t GetDisplayFlag() override;
    void SetShadowQuality(int quality) override;
    int GetShadowQuality() override;
    void SetClothEnabled(bool on) override;
    bool IsClothEnabled() override;
    void Reserved77() override;
    void ApplyDisplaySettings() override;
    void GetBackBufferSize(int* width, int* height) override;
    void Reserved78() override;
    int GetReserved(std::intptr_t ignored) override;
    void LoadHardwareCaps(ZelI::HardwareCapsRecord* caps) override;
    void SetGravity(const float* gravity) override;
    const float* GetGravity() override;
    void UnloadGeometryByName(const char* name, int id) override;
    void SetGlobalRenderBit(bool on) override;
    bool GetGlobalRenderBit() override;
    std::intptr_t SetUserWord(std::intptr_t word) override;
    std::intptr_t GetUserWord() override;
    bool LoadRenderSystemFile(const char* name) override;
    int Reserved79() override;
    void SetWireframe() override;
    void SetSolid() override;
    void DrawPhysicsDebug() override;
    void SetRenderStatePreset(int preset) override;
    int Reserved80() override;
    std::uint8_t SetBoneScaleEnabled(std::uint8_t on) override;
    int LoadBoneScalePreset(const char* name) override;
    void ClearBoneScalePresets() override;
    void ClearTexturePool() override;
    void Reserved81(std::intptr_t) override;
    int ScreenToWorldRay(float x, float y, float* origin, float* direction) override;
    int ScreenToWorldRayFromCamera(const float* eye, const float* direction, const float* up,
                                   float nearClip, float farClip, float width, float height,
                                   float fov, float x, float y, float* originOut,
                                   float* directionOut) override;
    int GetLastErrorCode() override;
    int Reserved82(std::intptr_t) override;
    ZelI::IMatProxyTable* CreateMatProxyTable() override;
    int Reserved83(std::intptr_t) override;
    int Reserved84(std::intptr_t) override;
    void SetActorMoveScale(float value) override;
    int Reserved85(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                   std::intptr_t) override;
    int Reserved86(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t) override;
    ZelI::IGlobalConfig* GetGlobalConfig() override;
    std::uint32_t UnloadEffectDeeplyAsyn(void* effect, void* effectManager, int priority) override;
    ZelI::IRender* GetEffRender() override;
    void SetSpecialEffectManager(ZelI::ISpecialEffectManager* manager) override;
    ZelI::IFrameProfiler* GetFrameProfiler() override;

    // The process-wide frame-time measure FrameEnd adds with; tests give it a clock of their own.
    static FrameTimeCounter& GetFrameTimeCounter();
    // The byte that gates a frame's drawing operations: what the last FrameBegin found.
    bool IsFrameBegan() const { return frameBegan_ != 0; }
    // The four clear-colour floats (character materials read them).
    const float* GetVector4Param() const { return clearColour_; }
    // User clip planes the host can hand the device at once (numbered command 5).
    static constexpr std::int32_t kMaxClipPlanes = 6;
    // Whether the host's last clip-plane block turned the planes on (process-wide).
    static bool AreClipPlanesOn();
    // The host's special-effect manager (not owned); null until the host sets one.
    ZelI::ISpecialEffectManager* GetSpecialEffectManager() const { return specialEffectManager_; }
    // The scene's current level; null without one. The host has no position for it in its
    // interface: it holds the levels it loaded through their own interfaces.
    Level* GetCurrentLevel() const;
    // Whether camera operations also move the second camera.
    bool IsMirroringSecondCamera() const { return mirrorSecondCamera_ != 0; }
    // Lets the host's effect manager append its lines to an open instance report; nothing when
    // the host set no manager.
    void ForwardToEffectManager(std::FILE* report);
    // The selection object of the host's picking passes.
    SelectFrustum& GetSelection() { return selection_; }

private:
    // The cameras a camera operation changes: the main one, and the second when mirrored.
    template <class Fn>
    void ForEachCamera(Fn fn);
    // Forgets a camera the scene no longer lists: a host that released its wrapper gave it back.
    void ForgetGoneCameras();
    // The scene manager while the frame began; null otherwise.
    SceneManager* FrameScene() const;
    // Numbered command 5: keeps the block (a count, then six planes of four floats) and hands
    // the planes to the device when there is one.
    void SetClipPlanes(const void* input);

    // Numbered command 7: reads "role.xml" of the directory as the action tree list and lists
    // the items of its first tree and of the two template figures' trees as preloaded actions;
    // writes their number as decimal text into output.
    void PreloadRoleActions(const char* directory, void* output);
    // Numbered command 8: makes the model of the name (its ".ch3" form first) once per name and
    // adds its actions to the preloaded ones; writes their number as decimal text.
    void PreloadModelActions(const char* name, void* output);

    // A preloaded action: its name and the skeleton word it was loaded for.
    struct PreloadedAction {
        std::string name;
        std::uint32_t skeleton = 0;
    };

    ZelI::RenderWindowParams params_;       // those of the last CreateRenderWindow
    RenderSystem* renderSystem_ = nullptr;  // not owned
    RenderWindow* mainWindow_ = nullptr;    // not owned
    SceneNode* root_ = nullptr;             // the scene's root; not owned
    Camera* mainCamera_ = nullptr;          // the scene's; not owned
    Camera* secondCamera_ = nullptr;        // the scene's; not owned
    std::uint32_t clearFlags_ = 7;          // bit 0 colour, bit 1 depth, bit 2 stencil
    Timer frameTimer_;
    float clearColour_[4] = {};
    std::uint8_t renderFlag_ = 0;
    std::uint8_t mirrorSecondCamera_ = 1;
    // Held while set: the manager's sweeps spare it, and a host drawing picked primitives after
    // one never reaches a deleted material.
    HeldMaterial pickMaterial_;
    std::uint8_t frameBegan_ = 1;
    std::intptr_t userWord_ = 0;
    std::vector<PreloadedAction> preloadedActions_;
    // The models numbered command 8 made, by the name it was given; they stay in the scene.
    std::map<std::string, ZelI::IModel*> preloadModels_;
    std::uint32_t selectionActive_ = 0;
    std::intptr_t queryObject_ = -1;
    std::uint8_t clientTargetByte_ = 0;  // 1: host depth targets are D24S8, else D16
    bool isPreVistaWindows_ = true;
    void* window_ = nullptr;   // the main window's handle
    bool ownsWindow_ = false;  // a stand-in made by CreateRenderWindow, destroyed with this object
    ZelI::ISpecialEffectManager* specialEffectManager_ = nullptr;  // the host's; not owned
    IVBImplRC* ivb_ = nullptr;  // owned; made with the render window
    SelectFrustum selection_;
    IRenderImpl* effRender_ = nullptr;  // owned; made by the first GetEffRender
};

}  // namespace Zel
