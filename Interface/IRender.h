// The root interface the host receives from CreateRenderer. It lives until DeleteRenderer; the
// host never deletes it. Every operation runs on the host's thread.
//
// The operations keep their order (a source-level contract); the reserved ones do nothing and
// answer the value their comment gives. Objects handed out are wrappers the host gives back
// with IObject::Release; interface arguments may be null (no object). Operations whose part of
// the renderer is not built answer null, 0 or false and change nothing.
#pragma once

#include <cstdint>

#include "Interface/DeviceInfoRecord.h"
#include "Interface/HardwareCapsRecord.h"
#include "Interface/ICamera.h"
#include "Interface/ILight.h"
#include "Interface/IModel.h"
#include "Interface/IMoveObject.h"
#include "Interface/IRenderTarget.h"
#include "Interface/ITexture.h"
#include "Interface/RenderWindowParams.h"
#include "Interface/SystemInfo.h"

namespace ZelI {

class ISkyBall;
class IAction;
class IActor;
class ISharedActionManager;
class IVB;
class IShader;
class IMaterial;
class IBillboard;
class IDecal;
class IParticleVB;
class ILevel;
class IEngineMonitor;
class IRenderStateManager;
class IMatProxyTable;
class IGlobalConfig;
class ISpecialEffectManager;
class IFrameProfiler;

class IRender {
protected:
    // The library deletes the object at DeleteRenderer.
    virtual ~IRender() = default;

public:
    // The machine summary owned by the library, its frame rate refreshed; valid until
    // DeleteRenderer.
    virtual SystemInfo* GetSystemInfo() = 0;
    // The main render window's handle; null before the window exists.
    virtual void* GetWindowHandle() = 0;
    // Copies the 592-byte adapter record filled at device creation into record; true (false for
    // a null record).
    virtual bool GetAdapterInfo(void* record) = 0;
    // Fills the device-information record; true (false for a null record).
    virtual bool GetDeviceInfo(DeviceInfoRecord* record) = 0;
    // Reserved: does nothing.
    virtual void Reserved01(std::intptr_t) = 0;
    // 0 for the full shader path, 1 for a reduced one, 2 for fixed function.
    virtual int GetCapsLevel() = 0;
    // Opens the render window and initialises the renderer. 100 on success; -201 when the data
    // directories fail their check, -101 when no render system could be made, -301 when it has no
    // main window.
    virtual int CreateRenderWindow(const RenderWindowParams* params) = 0;
    // Reserved: does nothing.
    virtual void Reserved02(std::intptr_t) = 0;
    // Reserved: answers 0.
    virtual int Reserved03() = 0;
    // Copies the creation parameters of the last CreateRenderWindow.
    virtual void GetCreateParams(RenderWindowParams* out) = 0;
    // Reserved: answers true.
    virtual bool Reserved04(std::intptr_t) = 0;
    // Reserved: does nothing.
    virtual void Reserved05(std::intptr_t, std::intptr_t, std::intptr_t) = 0;
    // Applies new display parameters through a device reset.
    virtual void SetDisplayMode(const RenderWindowParams* params) = 0;
    // ResizeWindowForEditor(width, height, 0).
    virtual int ResizeWindow(int width, int height) = 0;
    virtual bool IsWindowed() = 0;
    // Resizes the active window's back buffer; 1 on success, 0 on refusal.
    virtual int ResizeWindowForEditor(int width, int height, int windowId) = 0;
    // ResizeWindowForEditor(width, height, -1); the last five words are ignored.
    virtual int ResizeWindowAll(int width, int height, int a, int b, int c, int d, int e) = 0;
    virtual void ResetDevice() = 0;
    // Reserved: answers 0.
    virtual int Reserved06(std::intptr_t) = 0;
    // Reserved: answers 1.0.
    virtual float Reserved07() = 0;
    // Reserved: does nothing.
    virtual void Reserved08() = 0;
    // Begins a frame: resets a lost device and decides whether this frame may be drawn.
    virtual void FrameBegin() = 0;
    // Ends a frame and adds its time to the frame statistics.
    virtual void FrameEnd() = 0;
    // Presents the frame.
    virtual void SwapBuffer() = 0;
    // Bit 0 colour target, bit 1 depth, bit 2 stencil.
    virtual int GetClearFlags() = 0;
    virtual int SetClearFlags(int flags) = 0;
    // Clears the active window with the stored flags and colour (a drawn frame only).
    virtual void Clear() = 0;
    // Stores the clear colour (4 floats, 0..1); answers the stored colour.
    virtual const float* SetClearColor(const float* rgba) = 0;
    virtual std::uint8_t SetRenderFlag(std::uint8_t flag) = 0;
    virtual int UpdateCameras() = 0;
    // Advances the physics scene by the milliseconds while physics is switched on and its runtime
    // loaded: 1 when it stepped, else 0.
    virtual int StepPhysics(std::uint32_t elapsedMs) = 0;
    virtual void SetPhysicsEnabled(int on) = 0;
    virtual bool IsPhysicsEnabled() = 0;
    // x, y, width, height.
    virtual int SetViewport(const std::uint16_t* rect) = 0;
    virtual int GetViewport(std::uint16_t* rect) = 0;
    virtual bool IsProjectionDepthOffsetZero() = 0;
    // 16 floats.
    virtual void SetProjectionMatrix(const float* m) = 0;
    virtual const float* GetProjectionMatrix(float* out) = 0;
    virtual void SetViewMatrix(const float* m) = 0;
    virtual const float* GetViewMatrix(float* out) = 0;
    // Stored on the main camera (and the second while mirrored) for the host to read back.
    virtual void SetCameraMode(int mode) = 0;
    // The main camera's position (3 floats), zeros without one; answers out.
    virtual const float* GetCameraPosition(float* out) = 0;
    // Places the main camera (and the mirrored second one) at eye looking at target.
    virtual const float* LookAt(const float* eye, const float* target, const float* up) = 0;
    // Angles in radians.
    virtual void RotateCamera(float yaw, float pitch, float roll) = 0;
    // Reserved: does nothing.
    virtual void Reserved09(std::intptr_t, std::intptr_t, std::intptr_t) = 0;
    // Reserved: writes 0.0 through each pointer.
    virtual void Reserved10(float* a, float* b, float* c) = 0;
    // The main camera's forward axis; (1, 0, 0) without one.
    virtual const float* GetCameraDirection(float* out) = 0;
    // Horizontal field of view in degrees.
    virtual void SetCameraFov(float horizontalFov, float aspect, float nearClip, float farClip) = 0;
    virtual void GetCameraFov(float* horizontalFov, float* aspect, float* nearClip,
                              float* farClip) = 0;
    // 24 floats.
    virtual const float* GetSecondCameraFrustum(float* out) = 0;
    virtual const float* GetCameraFrustum(float* out) = 0;
    // Reserved: does nothing.
    virtual void Reserved11() = 0;
    // Reserved: does nothing.
    virtual void Reserved12() = 0;
    // Reserved: does nothing.
    virtual void Reserved13(std::intptr_t) = 0;
    // Reserved: does nothing.
    virtual void Reserved14() = 0;
    // Reserved: does nothing.
    virtual void Reserved15(std::intptr_t, std::intptr_t) = 0;
    // Reserved: does nothing.
    virtual void Reserved16() = 0;
    virtual void SetCameraFarPlane(float farClip) = 0;
    // minimum x, y, z, maximum x, y, z.
    virtual bool IsBoxVisible(const float* box) = 0;
    virtual ISharedActionManager* GetSharedActionManager() = 0;
    // Creates a model by file name and sets its local matrix (16 floats); null on failure.
    virtual IModel* CreateModel(const char* name, const float* localMatrix, std::intptr_t a,
                                std::intptr_t b) = 0;
    // Creates a model by file name; null on failure.
    virtual IModel* CreateModel(const char* name, std::intptr_t a) = 0;
    virtual ISkyBall* CreateSkyBall(const char* name) = 0;
    virtual std::uint32_t CreateModelAsyn(const char* name, void* resultSlot, int priority) = 0;
    virtual IActor* CreateActor(const char* name, std::intptr_t word, std::intptr_t a) = 0;
    virtual std::uint32_t CreateActorAsyn(const char* name, void* resultSlot, int priority,
                                          std::intptr_t word) = 0;
    virtual IActor* CreateNewActor(const char* name, int flag) = 0;
    virtual std::uint32_t CreateNewActorAsyn(const char* name, void* resultSlot, int priority,
                                             int flag) = 0;
    virtual IModel* CreateModelByName(const char* name) = 0;
    // Reserved: answers 0.
    virtual int Reserved17(std::intptr_t) = 0;
    virtual int ReleaseAllEntities() = 0;
    virtual std::uint32_t CreateEffectAsyn(const char* name, void* resultSlot, void* effectManager,
                                           int priority) = 0;
    virtual std::uint32_t UnloadEffectAsyn(void* effect, void* effectManager, int priority) = 0;
    // One whole frame for one scene (without the present); false for a null scene.
    virtual bool RenderScene(IMoveObject* scene) = 0;
    // The pipe steps for one object; always false.
    virtual bool RenderPipe(IMoveObject* object) = 0;
    // Reserved: does nothing.
    virtual void Reserved18() = 0;
    // The host's vertex and index block, made with the render window; null before.
    virtual IVB* GetVB() = 0;
    // A host primitive is given as: primitive type (0 points, 1 lines, 2 line strip, 3 triangles,
    // 4 triangle strip, 5 fan, 6 none), vertices (each starting with its position, three floats),
    // vertex count, stride in bytes, 16-bit indices or null, and the number of indices (of vertices
    // without indices) that make its shapes.
    // While a selection is open (SelectInRect) the primitive is tested under the object last given
    // to BeginPixelCountQuery instead of drawn; otherwise, in a begun frame, it is drawn once per
    // pass of the pick material with the optional vertex parts at the given byte offsets (0: none).
    virtual void DrawPicked(std::intptr_t type, std::intptr_t vertices, std::intptr_t vertexCount,
                            std::intptr_t stride, std::intptr_t indices, std::intptr_t count,
                            std::intptr_t normalOffset, std::intptr_t uvOffset,
                            std::intptr_t colourOffset) = 0;
    // Draws a host primitive once per pass of the material (an IMaterial, or null for the
    // library's first material) in a begun frame, outside a selection and outside the
    // fixed-function mode.
    virtual void DrawUserPrimitive(std::intptr_t type, std::intptr_t vertices,
                                   std::intptr_t vertexCount, std::intptr_t stride,
                                   std::intptr_t indices, std::intptr_t count,
                                   std::intptr_t material) = 0;
    // Reserved: does nothing.
    virtual void Reserved19(std::intptr_t) = 0;
    // Reserved: does nothing.
    virtual void Reserved20(std::intptr_t) = 0;
    // Reserved: does nothing.
    virtual void Reserved21(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t) = 0;
    virtual bool LoadMaterialLib(const char* name, int flag) = 0;
    virtual std::uint32_t QueueNamedTask(const char* name, int textureScaleLevel, int compressToDds,
                                         int priority) = 0;
    virtual void RemoveAllMaterials() = 0;
    virtual void ReloadAllMaterials() = 0;
    // The materials of the library loaded last.
    virtual int GetMaterialCount() = 0;
    // The name (a const char*, owned by the material) of entry index of that list; the text
    // "invalid name" outside it.
    virtual std::intptr_t GetMaterialAt(int index) = 0;
    // The wrapper of the material of that name, null when there is none. No reference is taken:
    // releasing the wrapper is the material's own release.
    virtual IShader* GetShader(const char* name) = 0;
    virtual IMaterial* FindMaterial(const char* name) = 0;
    // As FindMaterial, reloading a material that is not loaded.
    virtual IMaterial* FindAndLoadMaterial(const char* name) = 0;
    // The material DrawPicked draws with (null: the default one). Not held: the host keeps the
    // material alive while it is set; RemoveAllMaterials forgets it.
    virtual void SetPickMaterial(IMaterial* material) = 0;
    virtual int GetMaterialTotalCount() = 0;
    // The name of the material of that id (resource handle); null when there is none.
    virtual const char* GetMaterialName(int id) = 0;
    virtual bool Reserved22(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                            std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                            std::intptr_t, std::intptr_t) = 0;
    virtual void Reserved23(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                            std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                            std::intptr_t) = 0;
    // Reserved: answers 0.
    virtual int Reserved24(std::intptr_t) = 0;
    // Reserved: does nothing.
    virtual void Reserved25(std::intptr_t, std::intptr_t) = 0;
    // Reserved: does nothing.
    virtual void Reserved26(std::intptr_t, std::intptr_t) = 0;
    // Reserved: answers 0.
    virtual int Reserved27() = 0;
    // Reserved: answers 0.
    virtual int Reserved28(std::intptr_t) = 0;
    // Reserved: does nothing.
    virtual void Reserved29() = 0;
    // Reserved: answers 0.
    virtual int Reserved30(std::intptr_t) = 0;
    // A light of the host's kind (0 directional, 1 point, 2 spot); null when none is made.
    virtual ILight* CreateLight(int kind) = 0;
    // Reserved: does nothing.
    virtual void Reserved31(std::intptr_t) = 0;
    // Reserved: answers 0.
    virtual int Reserved32() = 0;
    virtual IBillboard* CreateNamedBillBoard(const char* name, std::intptr_t value) = 0;
    virtual IDecal* CreateDecalEx(std::intptr_t a, std::intptr_t b, std::intptr_t c,
                                  std::intptr_t d, std::intptr_t e, std::intptr_t f,
                                  std::intptr_t g, std::intptr_t h) = 0;
    virtual void PushToPipe(IMoveObject* node) = 0;
    virtual void PushRenderable(IMoveObject* node) = 0;
    virtual void PushNewPipe(int mode, std::intptr_t target, std::intptr_t third, std::intptr_t a,
                             std::intptr_t b) = 0;
    virtual void ProcessCurrentPipe() = 0;
    virtual void RenderPushedPipes() = 0;
    // Reserved: answers 0.
    virtual int Reserved33() = 0;
    virtual void CleanPushedObjsAndSubModels() = 0;
    // Reserved: does nothing.
    virtual void Reserved34() = 0;
    // Reserved: does nothing.
    virtual void Reserved35() = 0;
    virtual void RenderTransparentPipeline() = 0;
    virtual void ClearTransparentPipeline() = 0;
    // Reserved: does nothing.
    virtual void Reserved36(std::intptr_t) = 0;
    // Reserved: does nothing.
    virtual void Reserved37(std::intptr_t) = 0;
    // Reserved: does nothing.
    virtual void Reserved38(std::intptr_t) = 0;
    // Reserved: does nothing.
    virtual void Reserved39() = 0;
    // Reserved: does nothing.
    virtual void Reserved40() = 0;
    // Reserved: does nothing.
    virtual void Reserved41() = 0;
    // Reserved: does nothing.
    virtual void Reserved42() = 0;
    // The shadow's colour (r, g, b, a) and the direction it falls along (x, y, z).
    virtual void SetShadowVector4(const float* v) = 0;
    virtual void SetShadowVector3(const float* v) = 0;
    // Reserved: does nothing.
    virtual void Reserved43(std::intptr_t) = 0;
    // Reserved: does nothing.
    virtual void Reserved44(std::intptr_t) = 0;
    // Reserved: does nothing.
    virtual void Reserved45(std::intptr_t) = 0;
    // Reserved: does nothing.
    virtual void Reserved46(std::intptr_t) = 0;
    // Reserved: answers false.
    virtual bool Reserved47() = 0;
    virtual void RestoreRenderTargets() = 0;
    // Reserved: answers false.
    virtual bool Reserved48() = 0;
    virtual void RestoreRenderTargets2() = 0;
    // Reserved: answers false.
    virtual bool Reserved49() = 0;
    virtual void RestoreRenderTargets3() = 0;
    // Reserved: answers false.
    virtual bool Reserved50(std::intptr_t) = 0;
    virtual void RestoreRenderTargetsWith(std::intptr_t ignored) = 0;
    // Reserved: answers 0.
    virtual int Reserved51(std::intptr_t) = 0;
    // Reserved: answers 0.
    virtual int Reserved52(std::intptr_t) = 0;
    // Reserved: does nothing.
    virtual void Reserved53(std::intptr_t) = 0;
    // Reserved: does nothing.
    virtual void Reserved54(std::intptr_t, std::intptr_t) = 0;
    // The device's available texture memory (MB) and free video memory (bytes); 0 without one.
    virtual std::intptr_t GetDeviceValueA() = 0;
    virtual std::intptr_t GetDeviceValueB() = 0;
    virtual bool IsDistortionAvailable() = 0;
    virtual void ApplyDistortion(std::intptr_t a, std::intptr_t b) = 0;
    virtual void EnableFog() = 0;
    virtual void DisableFog() = 0;
    virtual int SetFog(int mode, const float* colour, float start, float end, float density) = 0;
    virtual const void* GetRenderStatistics() = 0;
    virtual int GetMaxLights() = 0;
    // Reserved: answers 0.
    virtual int Reserved55() = 0;
    // Reserved: does nothing.
    virtual void Reserved56(std::intptr_t) = 0;
    // Draws a run of particles this frame: the IParticleVB, the run's bounding box (minimum and
    // maximum, three floats each), the particle count, the first particle and the IMaterial.
    virtual void SetParticleInstance(std::intptr_t a, std::intptr_t b, std::intptr_t c,
                                     std::intptr_t d, std::intptr_t e, std::intptr_t f) = 0;
    // Reserved: answers 0.
    virtual int Reserved57(std::intptr_t) = 0;
    // Reserved: answers 0.
    virtual int Reserved58(std::intptr_t) = 0;
    // Opens a selection over the rectangle (left, top, right, bottom in window pixels, y down).
    // With *resultCount 1 only the nearest object under the rectangle's centre is kept, else
    // every object the rectangle reaches. The host then gives each object to
    // BeginPixelCountQuery and draws it with DrawPicked; GetSelectResults closes the selection.
    virtual int SelectInRect(const int* rect, int* resultCount) = 0;
    // The open selection's world ray through the rectangle's centre (origin and direction, three
    // floats each, either may be null); 0, writing nothing, without a selection.
    virtual int PickRay(std::intptr_t a, std::intptr_t b) = 0;
    // Reserved: does nothing.
    virtual void Reserved59() = 0;
    // Closes the selection: up to capacity of the objects hit (as given to BeginPixelCountQuery)
    // in hit order; answers how many were written.
    virtual int GetSelectResults(void** results, int capacity) = 0;
    virtual int StopWorker(int worker) = 0;
    // Reserved: answers 0.
    virtual int Reserved60(std::intptr_t) = 0;
    // Runs the host's part of the worker's tasks: pumps the worker at least the configured time
    // ("multithread.ini": time, maxnum, sleep) and while its active tasks exceed the configured
    // number. Answers 0.
    virtual int WaitForIOTasks(int worker) = 0;
    virtual int GetTaskState(std::uint32_t taskId) = 0;
    virtual int GetWorkerTaskCount(int worker) = 0;
    virtual int RunTaskSync(std::uint32_t taskId, int worker) = 0;
    virtual int CancelTask(std::uint32_t taskId, void* record) = 0;
    // Reserved: does nothing.
    virtual void Reserved61(std::intptr_t) = 0;
    // Reserved: answers 0.
    virtual int Reserved62() = 0;
    // Reserved: does nothing.
    virtual void Reserved63() = 0;
    // Reserved: does nothing.
    virtual void Reserved64() = 0;
    // Reserved: answers false.
    virtual bool Reserved65() = 0;
    // Reserved: does nothing.
    virtual void Reserved66() = 0;
    // Reserved: does nothing.
    virtual void Reserved67() = 0;
    virtual std::uint32_t ReleaseObjectAsyn(IObject* object) = 0;
    // The scene's current camera, null when none.
    virtual ICamera* GetCamera() = 0;
    virtual ICamera* CreateCamera() = 0;
    virtual void SetMainCamera(ICamera* camera) = 0;
    // The scene's main camera, null when none.
    virtual ICamera* GetMainCamera() = 0;
    virtual void SetSecondCamera(ICamera* camera) = 0;
    virtual ICamera* GetSecondCamera() = 0;
    // Debug lines while the "draw lines" switch is on: a box (minimum, maximum, colour) and a
    // line (from, to, colour), three and four floats each; the wire frame's last word is unused.
    virtual void DrawAABB(std::intptr_t a, std::intptr_t b, std::intptr_t c) = 0;
    virtual void DrawWireFrame(std::intptr_t a, std::intptr_t b, std::intptr_t c,
                               std::intptr_t d) = 0;
    // Reserved: does nothing.
    virtual void Reserved68(std::intptr_t) = 0;
    // In a selection: the object the primitives drawn next are picked as; answers the object.
    virtual std::intptr_t BeginPixelCountQuery(std::intptr_t object) = 0;
    virtual std::intptr_t GetVisibleQueryObject() = 0;
    virtual IParticleVB* CreateParticleVB() = 0;
    virtual void PassToOpenPipe(std::intptr_t word) = 0;
    virtual bool OpenActionLib(const char* name) = 0;
    virtual bool LoadAction(const char* action, IModel* model) = 0;
    virtual std::uint32_t LoadActionAsyn(const char* action, IModel* model, int priority) = 0;
    virtual void Blur(int kernel, std::intptr_t target, std::intptr_t word) = 0;
    virtual void BeginMotionBlur(std::intptr_t target) = 0;
    virtual void EndMotionBlur() = 0;
    virtual void RenderMotionBlur(float factor) = 0;
    virtual ILevel* CreateAndLoadLevel(const char* name) = 0;
    virtual ILevel* CreateAndLoadSimpLevel(const char* name) = 0;
    virtual ILevel* CreateAndLoadLevelEx(const char* name, std::intptr_t a, std::intptr_t b) = 0;
    virtual void PushNodeWithCamera(IMoveObject* node) = 0;
    // The shadow pass of a begun frame while shadows are drawn, for the level (null: the scene's
    // current one); the shadow casters are cleared in any case.
    virtual void RenderShadows(ILevel* level) = 0;
    // A numbered command: switches and one-off jobs. Text inputs and outputs are NUL-terminated;
    // command 5 takes a count (0 to 6) and six planes of four floats and clips what is drawn
    // after it. Command 2 takes a skinned model's IObject pointer followed directly by an action
    // id of its skeleton's action tree, and writes the IAction* of the action that item holds
    // into output (an IAction*), which stays as it was when there is none (not yet loaded,
    // unknown id, no bound model). Unknown ids do nothing.
    virtual void DoCommand(int id, const void* input, std::intptr_t a, void* output,
                           std::intptr_t b) = 0;
    virtual std::intptr_t GetDeviceCapsWord(std::intptr_t a, std::intptr_t b, std::intptr_t c,
                                            std::intptr_t d, std::intptr_t e, std::intptr_t f) = 0;
    virtual void SetUseActionLib(bool on) = 0;
    virtual bool UseActionLib() = 0;
    // Reserved: does nothing.
    virtual void Reserved69(std::intptr_t) = 0;
    // Reserved: answers false.
    virtual bool Reserved70() = 0;
    virtual void ResetMotionBlur() = 0;
    // Reserved: does nothing.
    virtual void Reserved71(std::intptr_t) = 0;
    // Reserved: answers true.
    virtual bool Reserved72() = 0;
    // Action trees (read by OpenActionLib), looked up for a skinned model's skeleton. The
    // lookups read no file: an item's action exists once LoadAction made it. The action is
    // handed out as its wrapper (owned by the action; the host does not release it).
    // The action that the tree item of the id holds; null for a null id or model, a model
    // without a tree, an unknown id or an item not loaded yet.
    virtual IAction* GetTreeItemActionByName(const char* id, IModel* model) = 0;
    // Reads again every action file whose action was unloaded.
    virtual void ReloadActions() = 0;
    // Gives the action of the tree item of the id back when only the tree holds it; false when
    // nothing was given back (unknown id, no action, still held elsewhere).
    virtual bool ReleaseTreeAction(const char* id, IModel* model) = 0;
    // The action of the n-th item (in id order) of the model's tree; null out of range or for
    // an item not loaded yet.
    virtual IAction* GetTreeItemActionAt(std::uint32_t index, IModel* model) = 0;
    // Reserved: does nothing.
    virtual void Reserved73(std::intptr_t) = 0;
    // Reserved: answers 0.0.
    virtual float Reserved74() = 0;
    virtual void SetUseCloth(bool on) = 0;
    virtual bool UseCloth() = 0;
    virtual void SetStripToList(bool on) = 0;
    virtual bool StripToList() = 0;
    virtual void SetTextureScaleLevel(int level) = 0;
    virtual int GetTextureScaleLevel() = 0;
    virtual int CollectResources() = 0;
    virtual IEngineMonitor* GetEngineMonitor() = 0;
    virtual void SetPreferBinaryFiles(bool on) = 0;
    virtual bool PreferBinaryFiles() = 0;
    virtual bool IsDX7Mode() = 0;
    virtual void PushViewMatrix() = 0;
    virtual void PopViewMatrix() = 0;
    virtual void PushProjectionMatrix() = 0;
    virtual void PopProjectionMatrix() = 0;
    virtual IRenderStateManager* GetRenderStateManager() = 0;
    // A texture of the host's own, one level, named "Client Created": kind 0 has an alpha channel,
    // another kind none; a non-zero flag makes a texture the host rewrites often. Answers null
    // outside a drawn frame or when even a small one cannot be made; a refused size is halved and
    // tried again while both sides exceed 2, and width and height show the size last tried.
    virtual ITexture* CreateClientTexture(int* width, int* height, int kind, int flag) = 0;
    // A render target of the host's own (depth flag 0: a colour target with a depth target of the
    // same size), named "Client Created". Answers null outside a drawn frame or when even a small
    // one cannot be made; a refused size is halved and tried again while both sides exceed 2, and
    // width and height show the size last tried.
    virtual IRenderTarget* CreateClientRenderTarget(int* width, int* height, int kind,
                                                    int depthFlag) = 0;
    virtual void SetCompressToDDS(bool on) = 0;
    virtual bool CompressToDDS() = 0;
    // A right-handed orthographic projection of the box (view-space distances for the clip
    // planes) written into out (16 floats).
    virtual void MakeOrthoOffCenterMatrix(float left, float right, float bottom, float top,
                                          float nearClip, float farClip, float* out) = 0;
    // Multiplies the view matrix by a translation.
    virtual void SetViewIdentityAt(float x, float y, float z) = 0;
    // Multiplies the view matrix by a rotation of angle degrees about the axis (3 floats).
    virtual void SetViewTransform(float angle, const float* axis) = 0;
    // Projects the world point (3 floats) with the matrices (16 floats each) through the
    // viewport; writes x, y (pixels) and depth into out and answers it.
    virtual float* WorldToScreen(const float* point, const float* projection, const float* view,
                                 int x, int y, int width, int height, float minZ, float maxZ,
                                 float* out) = 0;
    // Reserved: does nothing.
    virtual void Reserved75(std::intptr_t, std::intptr_t, std::intptr_t) = 0;
    // Reserved: does nothing.
    virtual void Reserved76(std::intptr_t, std::intptr_t, std::intptr_t) = 0;
    virtual void RestoreWindowMode() = 0;
    virtual void SuspendWindowMode() = 0;
    virtual void SetAntiAliasing(int level) = 0;
    virtual int GetAntiAliasing() = 0;
    virtual int GetAntiAliasingCaps() = 0;
    virtual void SetAnisotropy(int level) = 0;
    virtual int GetAnisotropy() = 0;
    virtual int GetAnisotropyCaps() = 0;
    virtual void SetDisplayFlag(std::uint8_t flag) = 0;
    virtual std::uint8_t GetDisplayFlag() = 0;
    virtual void SetShadowQuality(int quality) = 0;
    virtual int GetShadowQuality() = 0;
    virtual void SetClothEnabled(bool on) = 0;
    virtual bool IsClothEnabled() = 0;
    // Reserved: does nothing.
    virtual void Reserved77() = 0;
    virtual void ApplyDisplaySettings() = 0;
    virtual void GetBackBufferSize(int* width, int* height) = 0;
    // Reserved: does nothing.
    virtual void Reserved78() = 0;
    virtual int GetReserved(std::intptr_t ignored) = 0;
    // Fills the record from the device and the capability list "./config/hwcap.xml" (relative
    // to the working directory). Nothing before the render window exists.
    virtual void LoadHardwareCaps(HardwareCapsRecord* caps) = 0;
    virtual void SetGravity(const float* gravity) = 0;
    // The current physics scene's gravity (3 floats); (0, 0, -9.8) when no scene can be had.
    virtual const float* GetGravity() = 0;
    virtual void UnloadGeometryByName(const char* name, int id) = 0;
    virtual void SetGlobalRenderBit(bool on) = 0;
    virtual bool GetGlobalRenderBit() = 0;
    virtual std::intptr_t SetUserWord(std::intptr_t word) = 0;
    virtual std::intptr_t GetUserWord() = 0;
    virtual bool LoadRenderSystemFile(const char* name) = 0;
    // Reserved: answers 0.
    virtual int Reserved79() = 0;
    virtual void SetWireframe() = 0;
    virtual void SetSolid() = 0;
    virtual void DrawPhysicsDebug() = 0;
    // Preset 1 writes only alpha, without depth writes, blended; presets 0 and 2 give the passes
    // their depth writes and opaque drawing back (2 writing colour without alpha). Other values
    // do nothing.
    virtual void SetRenderStatePreset(int preset) = 0;
    // Reserved: answers 0.
    virtual int Reserved80() = 0;
    virtual std::uint8_t SetBoneScaleEnabled(std::uint8_t on) = 0;
    virtual int LoadBoneScalePreset(const char* name) = 0;
    virtual void ClearBoneScalePresets() = 0;
    virtual void ClearTexturePool() = 0;
    // Reserved: does nothing.
    virtual void Reserved81(std::intptr_t) = 0;
    // The world ray (origin and unit direction, 3 floats each) through the back-buffer pixel
    // (x, y) of the current view and projection. 1 on success; 0 before the render window exists.
    virtual int ScreenToWorldRay(float x, float y, float* origin, float* direction) = 0;
    // The world ray (origin and unit direction, 3 floats each) through the camera given by its
    // eye, view direction and up vector, a screen of width x height pixels and the horizontal
    // field of view in radians. The screen's y is not flipped here: the ray for (x, y) is
    // ScreenToWorldRay's for (x, height - y) through the same camera. 1 on success; 0, writing
    // nothing, for a zero width or height or a null pointer.
    virtual int ScreenToWorldRayFromCamera(const float* eye, const float* direction,
                                           const float* up, float nearClip, float farClip,
                                           float width, float height, float fov, float x, float y,
                                           float* originOut, float* directionOut) = 0;
    virtual int GetLastErrorCode() = 0;
    // Reserved: answers 0.
    virtual int Reserved82(std::intptr_t) = 0;
    // A new empty table, the caller's (given back through IMatProxyTable::Release).
    virtual IMatProxyTable* CreateMatProxyTable() = 0;
    // Reserved: answers 0.
    virtual int Reserved83(std::intptr_t) = 0;
    // Reserved: answers 0.
    virtual int Reserved84(std::intptr_t) = 0;
    virtual void SetActorMoveScale(float value) = 0;
    virtual int Reserved85(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                           std::intptr_t, std::intptr_t) = 0;
    // Reserved: answers 0.
    virtual int Reserved86(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t) = 0;
    virtual IGlobalConfig* GetGlobalConfig() = 0;
    virtual std::uint32_t UnloadEffectDeeplyAsyn(void* effect, void* effectManager,
                                                 int priority) = 0;
    virtual IRender* GetEffRender() = 0;
    virtual void SetSpecialEffectManager(ISpecialEffectManager* manager) = 0;
    virtual IFrameProfiler* GetFrameProfiler() = 0;
};

}  // namespace ZelI
