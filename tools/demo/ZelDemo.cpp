// The demo host. It does what a game host does: writes the data tree it runs on, loads
// libZelEngine.so with dlopen, opens a window without a handle, creates the scene in direct and
// in queued mode, draws a camera path through the render pipes into a render target of the
// window's size, saves chosen frames as PNG, reports what the library holds, releases half the
// objects in queued mode and deletes the renderer. It uses only the public interface headers and
// the fixture writers.
//
// Every creation step goes through one call of the Demo class. A step whose operation the library
// answers with null or 0 is printed as skipped and the run goes on; the ERROR lines the library
// writes for such a step are counted apart from the unexpected ones.
//
// Usage: zel_demo [--lib path/to/libZelEngine.so] [--out dir] [--frames N] [--size WxH] [--quick]
// It exits 0 when the window opened, every chosen frame was written and the log has no ERROR line
// the demo did not provoke on purpose or that belongs to a skipped step.
#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Interface/IAction.h"
#include "Interface/IActor.h"
#include "Interface/IAnimationChannel.h"
#include "Interface/IAuxRender.h"
#include "Interface/IBillboard.h"
#include "Interface/IDecal.h"
#include "Interface/IEngineMonitor.h"
#include "Interface/IFrameProfiler.h"
#include "Interface/IGlobalEnvironment.h"
#include "Interface/ILevel.h"
#include "Interface/IParticleVB.h"
#include "Interface/IProxyFactory.h"
#include "Interface/IRender.h"
#include "Interface/IResList.h"
#include "Interface/IResMngProxy.h"
#include "Interface/IShader.h"
#include "Interface/ISharedActionManager.h"
#include "Interface/ISkyBall.h"
#include "Interface/IZelTextBox.h"
#include "Interface/ZelEngine.h"
#include "demo/DemoDataTree.h"
#include "demo/DemoFountain.h"
#include "demo/DemoReport.h"

namespace {

namespace fs = std::filesystem;
using ZelDemo::DemoOptions;
using ZelDemo::PhaseLog;
using ZelDemo::Summary;

constexpr int kCreated = 100;
// The physics and the actors advance by this many milliseconds per frame of the path, whether the
// frame is drawn or not, so that a short run sees the same world at its chosen frames.
constexpr std::uint32_t kStepMs = 16;

// The ERROR lines the demo provokes on purpose, with their exact text: a model file of a kind the
// library does not read. (A model file that is not there is logged below the error level,
// "读取Geometry失败,../resources/models/missing.dm3".)
const char* const kMissingModel = "../resources/models/missing.dm3";
const char* const kUnknownKindModel = "../resources/models/demo.unknown";
const std::vector<std::string> kProvokedErrors = {
    "不被支持的资源文件格式！file=../resources/models/demo.unknown"};

// What the library writes when a creation step's operation is not offered yet; such a line counts
// as the skipped step's, not as unexpected, and only when that step was skipped.
struct PendingStep {
    const char* step;
    const char* errorText;
};
const PendingStep kPendingSteps[] = {
    {"level", "create level: no host interface for the level"},
    {"sky ball", "is not made here, file=../resources/models/sky.dm3"},
};

// The actors: nine body parts each, stood up to this scale, and the shared set of their
// skeleton (action files of the working directory, named as loaded).
constexpr int kPartSlots = 9;
constexpr float kActorScale = 1.4f;
const char* const kSharedIdle = "idle.ac6";
const char* const kSharedWalk = "walk.ac6";
// The actor snapshot's image, in pixels.
constexpr int kSnapshotWidth = 200;
constexpr int kSnapshotHeight = 300;
// Where the particle fountain stands: on the floor to the right of the cubes.
constexpr float kFountainAt[3] = {2.6f, 0.05f, 1.2f};

// A light pipe leaves the scene's ambient colour at its light's: every light carries the
// scene's ambient so that the frames after the first see the same.
// Unlit materials (the level's tiles among them) show their texture times this colour.
constexpr float kAmbient[4] = {0.6f, 0.6f, 0.65f, 1.0f};
// Where the sun shines from: up, left and from behind the scene as the camera first sees it, so
// the shadows it casts fall on open floor towards the camera and are not hidden behind what
// casts them.
constexpr float kSunFrom[3] = {-2.0f, 3.0f, -1.0f};

// The frames that are saved and the frames where something happens, as fractions of the path;
// the short run draws only these.
struct Moments {
    int first = 1, queuedShown = 0, physicsDebug = 0, softShadows = 0, fogFrom = 0, fogTo = 0,
        resize = 0, displayMode = 0, pick = 0, blur = 0, motionFrom = 0, motionTo = 0, last = 0;
    std::vector<std::pair<int, std::string>> saved;
    std::vector<int> drawn;

    explicit Moments(int frames) {
        auto at = [frames](double f) {
            return std::clamp(int(std::lround(f * frames)), 1, frames);
        };
        last = frames;
        physicsDebug = at(0.2);
        softShadows = at(0.4);
        fogFrom = at(0.45);
        resize = at(0.5);
        displayMode = at(0.55);
        pick = at(0.6);
        fogTo = at(0.65);
        blur = at(0.7);
        motionFrom = at(0.85);
        motionTo = at(0.9);
        // A short path may put two moments on one frame: the frame is saved once.
        for (const auto& [f, name] :
             std::vector<std::pair<int, std::string>>{{first, "demo_start"},
                                                      {physicsDebug, "demo_physics"},
                                                      {softShadows, "demo_soft"},
                                                      {pick, "demo_fog"},
                                                      {blur, "demo_blur"},
                                                      {motionTo, "demo_motion"},
                                                      {last, "demo_end"}})
            if (!SavedAs(f))
                saved.emplace_back(f, name);
        for (int f : {first, physicsDebug, softShadows, fogFrom, resize, displayMode, pick, fogTo,
                      blur, last})
            drawn.push_back(f);
        for (int f = motionFrom; f <= motionTo; ++f) drawn.push_back(f);
        std::sort(drawn.begin(), drawn.end());
        drawn.erase(std::unique(drawn.begin(), drawn.end()), drawn.end());
    }
    bool Drawn(int frame) const { return std::binary_search(drawn.begin(), drawn.end(), frame); }
    const std::string* SavedAs(int frame) const {
        for (const auto& [f, name] : saved)
            if (f == frame)
                return &name;
        return nullptr;
    }
};

class Demo {
public:
    Demo(ZelI::IRender* render, ZelI::IProxyFactory* factory, const DemoOptions& options,
         PhaseLog& log, Summary& summary)
        : render_(render), factory_(factory), options_(options), log_(log), summary_(summary) {}

    // Everything made at once on the host thread.
    std::string CreateDirect();
    // The second actor, a model and a level through the loading thread, waited for.
    std::string CreateQueued();
    // The camera path; the chosen frames are saved under frames.
    std::string RunFrames(const fs::path& frames);
    // The first actor pictured through its snapshot, the image saved under frames.
    std::string Snapshot(const fs::path& frames);
    // What the library holds: the proxy factory's resource lists, the numbered reports and the
    // monitor's counts.
    std::string Report();
    // Half the objects through the loading thread, the rest at once.
    std::string Release();
    // The ERROR texts of the steps that were skipped.
    const std::vector<std::string>& PendingErrors() const { return pendingErrors_; }

private:
    // Keeps what a creation step made; a null answer is printed as a skipped step.
    template <class T>
    T* Made(const char* step, T* object) {
        if (object) {
            objects_.push_back(object);
            return object;
        }
        log_.Skip(step, "the library answers null");
        for (const PendingStep& pending : kPendingSteps)
            if (!std::strcmp(pending.step, step))
                pendingErrors_.push_back(pending.errorText);
        return nullptr;
    }
    void Drawable(ZelI::IMoveObject* object) {
        if (object)
            drawables_.push_back(object);
    }

    void CreateStaticModels();
    void CreateSkinnedModel();
    void CreateSky();
    void CreateLights();
    void CreateEffects();
    void CreateDecal();
    void CreateFirstActor();
    void ProvokeErrors();
    void Dress(ZelI::IActor* actor);
    std::vector<std::uint32_t> DressQueued(ZelI::IActor* actor);
    void StandUp(ZelI::IActor* actor);
    void ShareActions(const char* step, std::uint32_t task);
    int WaitForTasks(const std::vector<std::uint32_t>& tasks);

    void PlaceCamera(int frame);
    void DrawFrame(int frame, const Moments& moments);
    void DrawPipes(const std::vector<ZelI::IMoveObject*>& objects, bool shadows);
    void DrawScene(int frame);
    void DrawParticles(int frame);
    void DrawMotionTrail();
    void DrawAux(int frame);
    void UpdateText(int frame);
    void Pick();
    void ChangeWindow(int frame, const Moments& moments);
    void SlideForMotion(int frame, const Moments& moments);
    bool SaveFrame(const fs::path& path);

    ZelI::IRender* render_;
    ZelI::IProxyFactory* factory_;
    const DemoOptions& options_;
    PhaseLog& log_;
    Summary& summary_;
    std::vector<ZelI::IObject*> objects_;
    std::vector<ZelI::IMoveObject*> drawables_;
    std::vector<ZelI::ILight*> lights_;
    std::vector<ZelI::IBillboard*> boards_;
    ZelI::IParticleVB* particles_ = nullptr;
    ZelI::IMaterial* spark_ = nullptr;
    ZelDemo::Fountain fountain_{kFountainAt};
    // The camera's right and up directions, which the sparks' quads are turned to.
    float cameraRight_[3] = {1.0f, 0.0f, 0.0f};
    float cameraUp_[3] = {0.0f, 1.0f, 0.0f};
    std::vector<std::string> pendingErrors_;
    ZelI::ILevel* level_ = nullptr;
    ZelI::IModel* ground_ = nullptr;
    ZelI::IModel* walker_ = nullptr;
    ZelI::ILevel* queuedLevel_ = nullptr;
    ZelI::IActor* actor_ = nullptr;
    ZelI::IActor* secondActor_ = nullptr;
    ZelI::IModel* queuedModel_ = nullptr;
    ZelI::IRenderTarget* target_ = nullptr;
    ZelI::IZelTextBox* text_ = nullptr;
    int width_ = 0, height_ = 0;
    double lastFrameMs_ = 0.0;
    float slideHome_[3] = {};
    bool sliding_ = false;
};

// ---- Direct creation -------------------------------------------------------------------------

std::string Demo::CreateDirect() {
    width_ = options_.width;
    height_ = options_.height;
    // Host render targets and levels are made inside a begun frame.
    render_->FrameBegin();
    target_ = render_->CreateClientRenderTarget(&width_, &height_, 0, 0);
    if (!target_)
        log_.Skip("render target", "the library answers null");
    if (ZelI::ILevel* level =
            Made("level", render_->CreateAndLoadLevel("../resources/level/grid.xml"))) {
        level_ = level;
        Drawable(level);
    }
    render_->FrameEnd();
    CreateStaticModels();
    CreateSkinnedModel();
    CreateSky();
    CreateLights();
    CreateEffects();
    CreateFirstActor();
    if (factory_)
        text_ = factory_->CreateTextBox(8, 8, 0, 0);
    if (!text_)
        log_.Skip("text box", "the proxy factory answers null");
    ProvokeErrors();
    char outcome[160];
    std::snprintf(outcome, sizeof(outcome), "%zu objects, %zu drawn, %zu lights", objects_.size(),
                  drawables_.size(), lights_.size());
    return outcome;
}

void Demo::CreateStaticModels() {
    const ZelDemo::DataTreeNames& names = ZelDemo::DemoNames();
    const float places[][3] = {
        {-2.5f, 1.0f, 0.0f}, {0.5f, 1.0f, -0.5f}, {1.2f, 0.8f, 2.0f}, {0.0f, 0.0f, 0.0f}};
    for (std::size_t i = 0; i < names.models.size(); ++i) {
        const std::string name = ZelDemo::HostModelName(names.models[i]);
        if (ZelI::IModel* model = Made("static model", render_->CreateModel(name.c_str(), 0))) {
            model->SetPosition(places[i]);
            Drawable(model);
            // The textured cube draws with the material library's animated stage: its checks
            // turn as the scene time moves on.
            if (i == 0) {
                if (ZelI::IMaterial* turning = render_->FindMaterial(names.turningMaterial.c_str()))
                    model->SetMaterial(turning);
                else
                    log_.Skip("animated material", "FindMaterial answers null");
            }
            if (i + 1 == names.models.size())
                ground_ = model;
        }
    }
}

void Demo::CreateSkinnedModel() {
    ZelI::IModel* walker =
        Made("skinned model", render_->CreateModel("../resources/skinned/skinned.chr", 0));
    if (!walker)
        return;
    // The skinned recipe stands along z with its skin a metre up: stood up along y, made larger
    // and lowered, it walks on the ground beside the cubes.
    const float at[3] = {3.0f, -2.2f, -1.0f};
    const float standUp[4] = {-0.70710678f, 0.0f, 0.0f, 0.70710678f};
    const float larger[3] = {2.5f, 2.5f, 2.5f};
    walker->SetPosition(at);
    walker->SetOrientation(standUp);
    walker->SetScale(larger);
    if (auto* skinned = dynamic_cast<ZelI::ISkeletonModel*>(walker))
        skinned->PlayAnimation("walk");
    Drawable(walker);
    walker_ = walker;
}

void Demo::CreateSky() {
    if (ZelI::ISkyBall* sky =
            Made("sky ball", render_->CreateSkyBall("../resources/models/sky.dm3")))
        Drawable(sky);
}

void Demo::CreateLights() {
    if (ZelI::ILight* sun = Made("sun light", render_->CreateLight(0))) {
        // A directional light takes the vector as the direction it shines from.
        const float warm[4] = {0.6f, 0.55f, 0.45f, 1.0f};
        sun->SetPosition(kSunFrom);
        sun->SetDiffuse(warm);
        sun->SetAmbient(kAmbient);
        lights_.push_back(sun);
    }
    if (ZelI::ILight* lamp = Made("point light", render_->CreateLight(1))) {
        const float at[3] = {2.0f, 3.0f, 2.0f};
        const float blue[4] = {0.2f, 0.3f, 0.6f, 1.0f};
        lamp->SetPosition(at);
        lamp->SetDiffuse(blue);
        lamp->SetAmbient(kAmbient);
        lamp->SetRange(10.0f);
        lights_.push_back(lamp);
    }
    // The receivers multiply the frame by the map: a lit map is white, a shadow this colour.
    // Its alpha stays 1, so the frame keeps its own.
    const float shadowColour[4] = {0.45f, 0.45f, 0.5f, 1.0f};
    // Shadows fall away from the sun.
    const float shadowFall[3] = {-kSunFrom[0], -kSunFrom[1], -kSunFrom[2]};
    render_->SetShadowVector4(shadowColour);
    render_->SetShadowVector3(shadowFall);
    render_->SetShadowQuality(1);
}

// The models a decal is projected onto: the level's floor, and the ground below it.
class DecalReceivers final : public ZelI::IDecalSource {
public:
    DecalReceivers(ZelI::IObject* main, ZelI::IObject* further) : main_(main), further_(further) {}
    ZelI::IObject* GetMainReceiver() override { return main_; }
    std::uint32_t GetReceiverCount() override { return further_ ? 1 : 0; }
    ZelI::IObject* GetReceiver(std::uint32_t) override { return further_; }
    bool AcceptBlended() override { return false; }
    bool AcceptAlphaTested() override { return false; }
    bool IsTwoSided() override { return true; }

private:
    ZelI::IObject* main_;
    ZelI::IObject* further_;
};

// Billboards with the sun texture, a target mark on the floor, and particles.
void Demo::CreateEffects() {
    const ZelDemo::DataTreeNames& names = ZelDemo::DemoNames();
    const float boardPlaces[][3] = {{-1.0f, 2.5f, 2.0f}, {2.5f, 3.2f, -3.0f}, {-4.0f, 2.8f, -2.0f}};
    ZelI::IMaterial* sun = render_->FindMaterial(names.boardMaterial.c_str());
    if (!sun)
        log_.Skip("billboard texture", "FindMaterial answers null");
    // The value is the billboard's flag word: 1 turns it with the camera, so it always faces it.
    constexpr std::intptr_t kFaceCamera = 1;
    for (const float* at : boardPlaces)
        if (ZelI::IBillboard* board =
                Made("billboard", render_->CreateNamedBillBoard("DemoBoard", kFaceCamera))) {
            board->SetPosition(at);
            board->SetSize(1.0f, 1.0f);
            if (sun)
                board->SetMaterial(sun);
            Drawable(board);
            boards_.push_back(board);
        }
    CreateDecal();
    particles_ = Made("particles", render_->CreateParticleVB());
    if (particles_ && !particles_->BuildVertexStream(ZelDemo::Fountain::kSparks)) {
        log_.Skip("particle buffer", "BuildVertexStream answers false");
        particles_ = nullptr;
    }
    // No scene object holds the sparks' material: a level load purges such materials, unless the
    // host pins it for as long as it draws with it.
    spark_ = render_->FindMaterial(names.particleMaterial.c_str());
    if (spark_)
        spark_->Pin();
    else if (particles_)
        log_.Skip("particle material", "FindMaterial answers null");
}

// A target mark projected straight down onto the floor in front of the cubes.
void Demo::CreateDecal() {
    const ZelDemo::DataTreeNames& names = ZelDemo::DemoNames();
    DecalReceivers receivers(level_, ground_);
    const float direction[3] = {0.0f, -1.0f, 0.0f}, up[3] = {0.0f, 0.0f, 1.0f};
    const float centre[3] = {-0.5f, 0.0f, 3.0f}, extents[3] = {1.2f, 1.0f, 1.2f};
    const float uvFrom[2] = {0.0f, 0.0f}, uvTo[2] = {1.0f, 1.0f};
    auto word = [](const void* p) { return reinterpret_cast<std::intptr_t>(p); };
    ZelI::IShader* mark = render_->GetShader(names.decalMaterial.c_str());
    if (ZelI::IDecal* decal = Made(
            "decal",
            render_->CreateDecalEx(word(static_cast<ZelI::IDecalSource*>(&receivers)),
                                   word(direction), word(up), word(centre), word(extents),
                                   word(mark), word(uvFrom), word(uvTo))))
        Drawable(decal);
}

void Demo::CreateFirstActor() {
    if (!render_->OpenActionLib("actions.xml"))
        log_.Skip("action library", "OpenActionLib answers false");
    actor_ = Made("first actor", render_->CreateActor("../resources/actor/actor.act", 0, 0));
    if (!actor_)
        return;
    Dress(actor_);
    const float at[3] = {-1.0f, 0.0f, 2.5f};
    actor_->SetPosition(at);
    StandUp(actor_);
    actor_->SetPinchValue(0, 0.5f);
    actor_->SetMakeupValue(0, 1, 0);
    // A 4 x 4 block of the host's own pixels (BGRA) composed into the first body part's texture.
    std::uint8_t pixels[4 * 4 * 4];
    for (std::size_t i = 0; i < sizeof(pixels); i += 4) {
        pixels[i] = 40;
        pixels[i + 1] = 200;
        pixels[i + 2] = 60;
        pixels[i + 3] = 255;
    }
    ZelI::CustomTextureRecord custom;
    custom.width = custom.height = 4;
    custom.pixels = pixels;
    custom.byteSize = sizeof(pixels);
    if (!actor_->ApplyCustomTexture(&custom))
        log_.Skip("custom texture", "ApplyCustomTexture answers false");
    // The idle cross-fades into the walk over a third of a second; the idle stays layered on
    // the first extra slot at a quarter weight.
    actor_->SetBlendLength(0.3f);
    actor_->PlayAnimation("idle");
    actor_->PlayAnimation("walk");
    actor_->PlayAnimationEx("idle", 0.25f, 0, 0);
    // An actor poses from its animation channels: the walk goes on the first.
    if (ZelI::IAnimationChannel* channel = actor_->GetChannel(0))
        channel->PlayAction("walk", true);
    actor_->Show();
    actor_->UpdateFrame(0.016f);
    Drawable(actor_);
    // The shared set of the actors' skeleton: the idle loaded once, for every actor on it.
    if (ZelI::ISharedActionManager* shared = render_->GetSharedActionManager())
        ShareActions("shared idle", shared->AddAction(actor_, kSharedIdle, false) ? 1 : 0);
    log_.Note("first actor: dressed in nine parts and part 5's skirt, pinched, made up, a custom "
              "texture composed, idle cross-faded into the walk with the idle layered, walk on "
              "channel 0");
}

// What the shared set of the actors' skeleton holds, as each actor sees it: one set for both.
void Demo::ShareActions(const char* step, std::uint32_t task) {
    ZelI::ISharedActionManager* shared = render_->GetSharedActionManager();
    if (!task || !shared) {
        log_.Skip(step, "the shared action manager answers 0");
        return;
    }
    std::string line = std::string(step) + ":";
    for (ZelI::IActor* actor : {actor_, secondActor_}) {
        if (!actor)
            continue;
        char seen[160];
        float length = 0.0f;
        if (ZelI::IAction* idle = shared->GetActionByName(actor, kSharedIdle)) {
            length = idle->GetLength();
            idle->Release();
        }
        std::snprintf(seen, sizeof(seen), " %s actor sees %u shared action(s), idle %.2f s;",
                      actor == actor_ ? "first" : "second", shared->GetActionCount(actor), length);
        line += seen;
    }
    log_.Note(line);
}

// The actor recipe stands along z: stood up along y and made a little larger than the level's
// walls are high.
void Demo::StandUp(ZelI::IActor* actor) {
    const float standUp[4] = {-0.70710678f, 0.0f, 0.0f, 0.70710678f};
    const float larger[3] = {kActorScale, kActorScale, kActorScale};
    actor->SetOrientation(standUp);
    actor->SetScale(larger);
}

std::string PartFile(int slot) {
    return "../resources/actor/part" + std::to_string(slot) + ".bp3";
}

// The actor recipe's nine body parts, one per slot; part 5 brings its skirt.
void Demo::Dress(ZelI::IActor* actor) {
    for (int slot = 0; slot < kPartSlots; ++slot)
        if (!actor->SetBodyPart(slot, PartFile(slot).c_str()))
            log_.Skip("body part " + std::to_string(slot), "SetBodyPart answers false");
}

// The same parts through the loading thread; the tasks to wait for.
std::vector<std::uint32_t> Demo::DressQueued(ZelI::IActor* actor) {
    std::vector<std::uint32_t> tasks;
    for (int slot = 0; slot < kPartSlots; ++slot) {
        const std::int32_t task = actor->SetBodyPartEx(slot, PartFile(slot).c_str(), 0);
        if (task < 0)
            log_.Skip("queued body part " + std::to_string(slot), "SetBodyPartEx answers -1");
        else
            tasks.push_back(static_cast<std::uint32_t>(task));
    }
    return tasks;
}

void Demo::ProvokeErrors() {
    // A model that is not there and one of a kind no reader takes: the library logs each and
    // answers null.
    for (const char* name : {kMissingModel, kUnknownKindModel})
        if (ZelI::IModel* model = render_->CreateModel(name, 0))
            model->Release();
}

// ---- Queued creation -------------------------------------------------------------------------

// A task's state: 0 when it finished, 9 when no worker knows it any more (it finished and its
// record went back to the worker's recycler).
bool Finished(int state) {
    return state == 0 || state == 9;
}

int Demo::WaitForTasks(const std::vector<std::uint32_t>& tasks) {
    int run = 0;
    for (std::uint32_t id : tasks) {
        if (!id)
            continue;
        ++summary_.tasksQueued;
        // The host pumps the worker until each task is finished.
        for (int round = 0; !Finished(render_->GetTaskState(id)) && round < 1000; ++round)
            render_->WaitForIOTasks(0);
        if (Finished(render_->GetTaskState(id)))
            ++run;
    }
    summary_.tasksRun += run;
    return run;
}

std::string Demo::CreateQueued() {
    render_->DoCommand(17, "true", 0, nullptr, 0);
    std::vector<std::uint32_t> tasks;
    ZelI::IActor* actorSlot = nullptr;
    ZelI::IModel* modelSlot = nullptr;
    tasks.push_back(render_->CreateActorAsyn("../resources/actor/actor.act", &actorSlot, 0, 0));
    tasks.push_back(render_->CreateModelAsyn(
        ZelDemo::HostModelName(ZelDemo::DemoNames().models[1]).c_str(), &modelSlot, 0));
    render_->FrameBegin();
    ZelI::ILevel* levelSlot = nullptr;
    ZelI::ILevel* level = render_->CreateAndLoadLevelEx(
        "../resources/level/grid.xml", reinterpret_cast<std::intptr_t>(&levelSlot), 0);
    render_->FrameEnd();
    int run = WaitForTasks(tasks);
    // The second actor is dressed through the loading thread too, and the walk joins the shared
    // set from there; their tasks are waited for like the creations.
    secondActor_ = Made("second actor", actorSlot);
    std::uint32_t sharedWalk = 0;
    if (secondActor_) {
        const std::vector<std::uint32_t> parts = DressQueued(secondActor_);
        if (ZelI::ISharedActionManager* shared = render_->GetSharedActionManager())
            sharedWalk = shared->AddActionAsyn(secondActor_, "actors", kSharedWalk, 0);
        std::vector<std::uint32_t> waited = parts;
        waited.push_back(sharedWalk);
        run += WaitForTasks(waited);
        tasks.insert(tasks.end(), waited.begin(), waited.end());
        log_.Note("second actor: " + std::to_string(parts.size()) +
                  " body parts queued and waited for");
    }
    for (int round = 0; render_->GetWorkerTaskCount(0) > 0 && round < 1000; ++round)
        render_->WaitForIOTasks(0);
    render_->DoCommand(17, "false", 0, nullptr, 0);

    if (secondActor_) {
        const float at[3] = {1.5f, 0.0f, 3.0f};
        secondActor_->SetPosition(at);
        StandUp(secondActor_);
        // Its own walk, half a second behind the first actor's: the shared set's, which the
        // first actor's tree walk has the same keys as.
        if (ZelI::IAnimationChannel* channel = secondActor_->GetChannel(0)) {
            const bool shared = channel->PlayAction(kSharedWalk, true) == 0;
            if (!shared)
                channel->PlayAction("walk", true);
            secondActor_->UpdateFrame(0.5f);
            log_.Note(std::string("second actor: the ") + (shared ? "shared" : "tree's") +
                      " walk on channel 0, half a step behind the first");
        }
        secondActor_->Show();
        Drawable(secondActor_);
        ShareActions("shared walk", sharedWalk);
    }
    queuedModel_ = Made("queued model", modelSlot);
    if (queuedModel_) {
        const float at[3] = {-3.0f, 0.5f, -3.0f};
        queuedModel_->SetPosition(at);
        Drawable(queuedModel_);
    }
    queuedLevel_ = Made("queued level", level);
    char outcome[160];
    std::snprintf(outcome, sizeof(outcome), "%zu tasks queued, %d finished", tasks.size(), run);
    return outcome;
}

// ---- Frames ----------------------------------------------------------------------------------

// Frame i: the camera circles the scene and looks at its middle.
void Demo::PlaceCamera(int frame) {
    const float angle =
        -0.5f + 1.0f * static_cast<float>(frame) / static_cast<float>(options_.frames);
    const float eye[3] = {9.0f * std::sin(angle), 4.0f, 9.0f * std::cos(angle)};
    const float target[3] = {0.0f, 1.0f, 0.0f};
    const float up[3] = {0.0f, 1.0f, 0.0f};
    render_->LookAt(eye, target, up);
    // right = forward x up, and the camera's own up = right x forward.
    float forward[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
    const auto normalise = [](float* v) {
        const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        for (int k = 0; k < 3; ++k) v[k] /= length;
    };
    normalise(forward);
    cameraRight_[0] = forward[1] * up[2] - forward[2] * up[1];
    cameraRight_[1] = forward[2] * up[0] - forward[0] * up[2];
    cameraRight_[2] = forward[0] * up[1] - forward[1] * up[0];
    normalise(cameraRight_);
    cameraUp_[0] = cameraRight_[1] * forward[2] - cameraRight_[2] * forward[1];
    cameraUp_[1] = cameraRight_[2] * forward[0] - cameraRight_[0] * forward[2];
    cameraUp_[2] = cameraRight_[0] * forward[1] - cameraRight_[1] * forward[0];
    render_->SetCameraFov(60.0f, static_cast<float>(width_) / static_cast<float>(height_), 0.1f,
                          100.0f);
    render_->UpdateCameras();
}

// The objects through the pipes: one pipe lit by the scene's ambient light, one more for each
// light adding what it gives. Shadows are cast by what a pipe holds, so they are drawn while the
// last pipe is still open (once it is cleaned the shadow pass finds no caster), over everything
// the lights added. The shadow call names the level: it becomes the scene's level, whose floor
// pieces alone receive, instead of every registered model's.
void Demo::DrawPipes(const std::vector<ZelI::IMoveObject*>& objects, bool shadows) {
    auto pipe = [&](int mode, ZelI::ILight* light, bool withShadows) {
        render_->PushNewPipe(mode, reinterpret_cast<std::intptr_t>(light), 0, 0, 0);
        for (ZelI::IMoveObject* object : objects) render_->PushToPipe(object);
        render_->ProcessCurrentPipe();
        render_->RenderPushedPipes();
        if (withShadows)
            render_->RenderShadows(level_);
        render_->CleanPushedObjsAndSubModels();
    };
    pipe(0, nullptr, shadows && lights_.empty());
    for (ZelI::ILight* light : lights_) pipe(2, light, shadows && light == lights_.back());
}

// The whole scene with its shadows, then the blended pieces and the sparks over everything.
void Demo::DrawScene(int frame) {
    DrawPipes(drawables_, true);
    DrawParticles(frame);
    render_->RenderTransparentPipeline();
    render_->ClearTransparentPipeline();
}

// The fountain's sparks as they stand at this frame, filled into the particle buffer. Their
// material blends, so the run joins the transparent pass, sorted with the other blended pieces.
void Demo::DrawParticles(int frame) {
    if (!particles_ || !spark_)
        return;
    float box[6];
    const float seconds = static_cast<float>(frame) * static_cast<float>(kStepMs) * 0.001f;
    fountain_.Build(seconds, cameraRight_, cameraUp_, box);
    constexpr std::uint32_t kVertices = ZelDemo::Fountain::kSparks * 4;
    void* vertices = particles_->Lock(kVertices);
    if (!vertices)
        return;
    fountain_.Write(render_->IsDX7Mode(), vertices);
    particles_->Unlock(kVertices);
    auto word = [](const void* p) { return reinterpret_cast<std::intptr_t>(p); };
    render_->SetParticleInstance(word(particles_), word(box), word(box + 3),
                                 ZelDemo::Fountain::kSparks, 0, word(spark_));
}

// The sliding model alone into the motion-blur target, which holds the earlier frames' images
// faded, then laid over the frame. Only what moves goes there: the opaque scene would cover the
// trail everywhere.
void Demo::DrawMotionTrail() {
    if (!queuedModel_)
        return;
    render_->BeginMotionBlur(0);
    DrawPipes({queuedModel_}, false);
    render_->EndMotionBlur();
    // The image of this frame, faded, becomes the next frame's start.
    render_->RenderMotionBlur(0.6f);
}

void Demo::DrawAux(int frame) {
    ZelI::IAuxRender* aux = factory_ ? factory_->GetAuxRender() : nullptr;
    if (!aux)
        return;
    const float yellow[4] = {1.0f, 0.9f, 0.2f, 1.0f};
    const float box[6] = {-3.5f, 0.0f, -1.0f, -1.5f, 2.0f, 1.0f};
    aux->DrawAABB(box, yellow);
    const float centre[3] = {0.0f, 0.0f, 0.0f};
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    aux->DrawWireSphere(centre, 0.5f + 0.01f * static_cast<float>(frame % 10), grey);
    const std::int32_t rect[4] = {4, 4, 4 + width_ / 3, 4 + 40};
    aux->DrawRect2D(rect, grey);
    aux->Flush();
}

void Demo::UpdateText(int frame) {
    if (!text_)
        return;
    const ZelI::FrameStatistics stats = render_->GetFrameProfiler()
                                            ? render_->GetFrameProfiler()->GetFrameStatistics()
                                            : ZelI::FrameStatistics{};
    char line[160];
    std::snprintf(line, sizeof(line), "frame %d/%d  draw calls %u  primitives %u", frame,
                  options_.frames, stats.words[1], stats.words[6]);
    text_->SetText(line, false);
    text_->SetColor(1.0f, 1.0f, 1.0f, 1.0f);
    text_->Draw();
}

// What lies under the middle of the window: the ray through it from the camera, each model it
// meets, and the selection's own ray.
void Demo::Pick() {
    float origin[3] = {}, direction[3] = {};
    const float x = static_cast<float>(width_) * 0.5f, y = static_cast<float>(height_) * 0.5f;
    if (!render_->ScreenToWorldRay(x, y, origin, direction)) {
        log_.Skip("picking", "ScreenToWorldRay answers 0");
        return;
    }
    char line[200];
    std::snprintf(line, sizeof(line), "ray from (%.2f %.2f %.2f) along (%.2f %.2f %.2f)", origin[0],
                  origin[1], origin[2], direction[0], direction[1], direction[2]);
    summary_.picks.push_back(line);
    int index = 0;
    for (ZelI::IMoveObject* object : drawables_) {
        auto* model = dynamic_cast<ZelI::IModel*>(object);
        if (model && model->IntersectsRay(origin, direction)) {
            std::snprintf(line, sizeof(line), "hit drawable %d (serial %llu)", index,
                          static_cast<unsigned long long>(object->GetSerialId()));
            summary_.picks.push_back(line);
        }
        ++index;
    }
    const int rect[4] = {int(x) - 2, int(y) - 2, int(x) + 2, int(y) + 2};
    int wanted = 1;
    render_->SelectInRect(rect, &wanted);
    float selOrigin[3] = {}, selDirection[3] = {};
    if (render_->PickRay(reinterpret_cast<std::intptr_t>(selOrigin),
                         reinterpret_cast<std::intptr_t>(selDirection))) {
        std::snprintf(line, sizeof(line), "selection ray along (%.2f %.2f %.2f)", selDirection[0],
                      selDirection[1], selDirection[2]);
        summary_.picks.push_back(line);
    }
    void* hits[4] = {};
    const int count = render_->GetSelectResults(hits, 4);
    std::snprintf(line, sizeof(line), "selection closed with %d result(s)", count);
    summary_.picks.push_back(line);
    for (const std::string& pick : summary_.picks) log_.Note("pick: " + pick);
}

// Midway the window is resized and given back its size, then the display mode is set again,
// which makes the device go through a lost and reset cycle.
void Demo::ChangeWindow(int frame, const Moments& moments) {
    if (frame == moments.resize) {
        render_->ResizeWindow(options_.width / 2, options_.height / 2);
        render_->ResizeWindow(options_.width, options_.height);
        log_.Note("window resized and given back its size");
    }
    if (frame == moments.displayMode) {
        ZelI::RenderWindowParams params;
        render_->GetCreateParams(&params);
        render_->SetDisplayMode(&params);
        log_.Note("display mode set again (device reset)");
    }
}

// Over the motion-blur frames the queued model slides three units along x, so that each frame
// leaves a fading trail of where it stood; on the next frame drawn it is back where it was made.
void Demo::SlideForMotion(int frame, const Moments& moments) {
    if (!queuedModel_)
        return;
    if (frame < moments.motionFrom || frame > moments.motionTo) {
        if (sliding_)
            queuedModel_->SetPosition(slideHome_);
        sliding_ = false;
        return;
    }
    if (!sliding_)
        queuedModel_->GetPosition(slideHome_);
    sliding_ = true;
    const int span = std::max(1, moments.motionTo - moments.motionFrom);
    const float slide =
        3.0f * static_cast<float>(frame - moments.motionFrom) / static_cast<float>(span);
    const float at[3] = {slideHome_[0] + slide, slideHome_[1], slideHome_[2]};
    queuedModel_->SetPosition(at);
}

void Demo::DrawFrame(int frame, const Moments& moments) {
    PlaceCamera(frame);
    // A billboard turns to the camera in its own update, which no scene walk runs for it: the
    // host updates it once the camera is placed.
    for (ZelI::IBillboard* board : boards_) board->UpdateFrame(0.0f);
    render_->SetShadowQuality(frame >= moments.softShadows ? 2 : 1);
    const bool fog = frame >= moments.fogFrom && frame <= moments.fogTo;
    if (fog) {
        // Drawn through effect programs, the device measures fog in depth (0 at the near plane,
        // 1 at the far one), not in eye distance: with the near plane at 0.1 and the far one at
        // 100 the linear range from 0.98 fogs the scene from about 5 units away.
        const float mist[4] = {0.7f, 0.75f, 0.8f, 1.0f};
        render_->SetFog(3, mist, 0.98f, 1.0f, 0.0f);
        render_->EnableFog();
    }
    const bool motion = frame >= moments.motionFrom && frame <= moments.motionTo;
    SlideForMotion(frame, moments);
    ChangeWindow(frame, moments);
    render_->FrameBegin();
    if (target_)
        target_->BeginRendering(0);
    render_->Clear();
    DrawScene(frame);
    if (frame == moments.physicsDebug)
        render_->DrawPhysicsDebug();
    DrawAux(frame);
    // The blur frame softens everything drawn so far (a 13 x 13 kernel, two passes of each
    // direction); the text box stays sharp over it.
    if (frame == moments.blur)
        render_->Blur(3, 0, 4);
    if (motion)
        DrawMotionTrail();
    UpdateText(frame);
    if (target_)
        target_->EndRendering();
    render_->FrameEnd();
    if (frame == moments.pick)
        Pick();
    // The counters of the frame are read before the present starts the next one.
    if (ZelI::IFrameProfiler* profiler = render_->GetFrameProfiler()) {
        const ZelI::FrameStatistics stats = profiler->GetFrameStatistics();
        summary_.drawCalls = stats.words[1];
        summary_.primitives = stats.words[6];
    }
    render_->SwapBuffer();
    if (fog)
        render_->DisableFog();
}

bool Demo::SaveFrame(const fs::path& path) {
    if (!target_ || !target_->SaveToFile(path.string().c_str())) {
        log_.Note(path.filename().string() + " not written");
        return false;
    }
    summary_.images.push_back(path.string());
    return true;
}

std::string Demo::RunFrames(const fs::path& frames) {
    const Moments moments(options_.frames);
    const float sky[4] = {0.35f, 0.55f, 0.8f, 1.0f};
    render_->SetClearColor(sky);
    render_->SetPhysicsEnabled(1);
    const float gravity[3] = {0.0f, -9.8f, 0.0f};
    render_->SetGravity(gravity);
    ZelDemo::Progress progress(options_.frames);
    for (int frame = 1; frame <= options_.frames; ++frame) {
        if (!options_.quick || moments.Drawn(frame)) {
            const auto start = std::chrono::steady_clock::now();
            DrawFrame(frame, moments);
            if (const std::string* name = moments.SavedAs(frame))
                SaveFrame(frames / (*name + ".png"));
            lastFrameMs_ =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            summary_.times.Add(lastFrameMs_);
        }
        // The world moves on by the fixed step on every frame of the path.
        render_->StepPhysics(kStepMs);
        // No scene walk updates what the host made: the host moves its animated objects on.
        for (ZelI::IMoveObject* animated : {static_cast<ZelI::IMoveObject*>(actor_),
                                            static_cast<ZelI::IMoveObject*>(secondActor_),
                                            static_cast<ZelI::IMoveObject*>(walker_)})
            if (animated)
                animated->UpdateFrame(static_cast<float>(kStepMs) * 0.001f);
        progress.Frame(frame, lastFrameMs_, summary_.times);
    }
    progress.Finish();
    summary_.pathFrames = options_.frames;
    char outcome[96];
    std::snprintf(outcome, sizeof(outcome), "%d drawn, %zu saved", summary_.times.drawn,
                  summary_.images.size());
    return outcome;
}

// ---- Actor snapshot --------------------------------------------------------------------------

// The camera steps up to the first actor and the actor is pictured alone through the snapshot
// shaders: its clothes over the backdrop, every texel it shares with the template's bare skin
// left out.
std::string Demo::Snapshot(const fs::path& frames) {
    if (!actor_) {
        log_.Skip("actor snapshot", "there is no first actor");
        return "no actor";
    }
    float at[3] = {};
    actor_->GetPosition(at);
    const float eye[3] = {at[0] + 0.8f, 1.8f, at[2] + 4.0f};
    const float target[3] = {at[0], 1.25f, at[2]};
    const float up[3] = {0.0f, 1.0f, 0.0f};
    render_->LookAt(eye, target, up);
    render_->SetCameraFov(50.0f, float(kSnapshotWidth) / float(kSnapshotHeight), 0.1f, 100.0f);
    render_->UpdateCameras();
    static constexpr float kBackdrop[4] = {0.2f, 0.25f, 0.3f, 1.0f};
    const std::string file = (frames / "demo_snapshot.png").string();
    auto word = [](const void* p) { return reinterpret_cast<std::intptr_t>(p); };
    const std::int32_t answer = actor_->RenderSnapshot(kSnapshotWidth, kSnapshotHeight, 0,
                                                       word(kBackdrop), 0, 0, 0, word(file.c_str()));
    std::error_code ec;
    if (answer != 1 || !fs::exists(file, ec)) {
        log_.Note("demo_snapshot.png not written");
        return "not written";
    }
    summary_.images.push_back(file);
    return "demo_snapshot.png, " + std::to_string(kSnapshotWidth) + " x " +
           std::to_string(kSnapshotHeight);
}

// ---- Reports and release ---------------------------------------------------------------------

std::string Demo::Report() {
    std::string outcome;
    ZelI::IGlobalEnvironment* environment = factory_ ? factory_->GetGlobalEnvironment() : nullptr;
    if (!environment) {
        log_.Skip("resource lists", "the proxy factory has no environment");
    } else {
        const std::pair<const char*, ZelI::IResMngProxy*> managers[] = {
            {"textures", environment->GetTextureManager()},
            {"materials", environment->GetMaterialManager()},
            {"geometries", environment->GetGeometryManager()},
            {"actions", environment->GetActionManager()},
            {"skeletons", environment->GetSkeletonManager()}};
        for (const auto& [name, manager] : managers) {
            ZelI::IResList* list = manager ? manager->GetResList() : nullptr;
            char line[96];
            std::snprintf(line, sizeof(line), "%s %u", name, list ? list->GetCount() : 0u);
            log_.Note(std::string("resource list: ") + line);
            outcome += (outcome.empty() ? "" : ", ") + std::string(line);
        }
    }
    // The scene's resource and instance reports, written beside the log.
    render_->DoCommand(28, nullptr, 0, nullptr, 0);
    if (ZelI::IEngineMonitor* monitor = render_->GetEngineMonitor()) {
        static const char* const kCategories[] = {
            "textures", "images",         "level geometries",    "actions",
            "actors",   "all geometries", "body-part geometries"};
        for (int c = 0; c < 7; ++c)
            summary_.resources.push_back(
                {kCategories[c], monitor->GetResourceCount(c), monitor->GetResourceBytes(c)});
        summary_.heapBytes = monitor->GetProcessHeapBytes();
        summary_.textureBytes = monitor->GetTextureMemoryCounter();
    }
    return outcome;
}

std::string Demo::Release() {
    if (text_)
        text_->Release();
    if (target_)
        target_->Release();
    if (spark_)
        spark_->Unpin();
    spark_ = nullptr;
    // The first half through the loading thread in queued mode, the rest at once.
    const std::size_t half = objects_.size() / 2;
    render_->DoCommand(17, "true", 0, nullptr, 0);
    std::vector<std::uint32_t> tasks;
    std::size_t queued = 0;
    for (std::size_t i = 0; i < half; ++i) {
        const std::uint32_t id = render_->ReleaseObjectAsyn(objects_[i]);
        if (id) {
            tasks.push_back(id);
            objects_[i] = nullptr;
            ++queued;
        }
    }
    WaitForTasks(tasks);
    render_->DoCommand(17, "false", 0, nullptr, 0);
    std::size_t direct = 0;
    for (ZelI::IObject* object : objects_)
        if (object) {
            object->Release();
            ++direct;
        }
    objects_.clear();
    drawables_.clear();
    walker_ = nullptr;
    boards_.clear();
    char outcome[96];
    std::snprintf(outcome, sizeof(outcome), "%zu queued, %zu at once", queued, direct);
    return outcome;
}

const char* WhyNothingWasDrawn(int result) {
    switch (result) {
        case -101:
            return "the renderer has no render system to draw with";
        case -201:
            return "the data directories are incomplete";
        case -301:
            return "the render system has no main window";
        default:
            return "the render window was not opened";
    }
}

}  // namespace

int main(int argc, char** argv) {
    DemoOptions options;
    options.library = ZEL_DEFAULT_LIBRARY;
    std::string error;
    if (!ZelDemo::ParseDemoOptions(argc, argv, &options, &error)) {
        std::printf("zel_demo: %s\n%s", error.c_str(), ZelDemo::DemoUsage());
        return 2;
    }
    std::error_code ec;
    const fs::path root = fs::absolute(options.out, ec);
    const fs::path frames = root / "frames";
    PhaseLog log;
    Summary summary;

    log.Begin("data tree");
    if (!ZelDemo::WriteDataTree(root, &error)) {
        log.End(error);
        return 1;
    }
    fs::remove_all(frames, ec);
    fs::create_directories(frames, ec);
    fs::current_path(ZelDemo::WorkingDirectoryOf(root), ec);
    log.End(root.string());

    log.Begin("load library");
    void* module = dlopen(options.library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        log.End(dlerror());
        return 1;
    }
    auto create = reinterpret_cast<PFN_CreateRenderer>(dlsym(module, "CreateRenderer"));
    auto destroy = reinterpret_cast<PFN_DeleteRenderer>(dlsym(module, "DeleteRenderer"));
    auto makeFactory =
        reinterpret_cast<PFN_CreateIProxyFactory>(dlsym(module, "CreateIProxyFactory"));
    if (!create || !destroy) {
        log.End("CreateRenderer or DeleteRenderer missing");
        dlclose(module);
        return 1;
    }
    log.End(options.library);

    log.Begin("window");
    ZelI::IRender* render = create();
    bool opened = false;
    int result = 0;
    if (render) {
        ZelI::RenderWindowParams params;
        params.width = static_cast<std::uint32_t>(options.width);
        params.height = static_cast<std::uint32_t>(options.height);
        result = render->CreateRenderWindow(&params);
        opened = result == kCreated;
    }
    log.End(render ? "CreateRenderWindow -> " + std::to_string(result) : "no IRender");

    std::vector<std::string> pendingErrors;
    ZelI::IProxyFactory* factory = opened && makeFactory ? makeFactory() : nullptr;
    if (opened) {
        Demo demo(render, factory, options, log, summary);
        log.Begin("direct creation");
        log.End(demo.CreateDirect());
        log.Begin("queued creation");
        log.End(demo.CreateQueued());
        log.Begin("actor snapshot");
        log.End(demo.Snapshot(frames));
        log.Begin("frame loop");
        log.End(demo.RunFrames(frames));
        log.Begin("reports");
        log.End(demo.Report());
        log.Begin("release");
        log.End(demo.Release());
        pendingErrors = demo.PendingErrors();
    } else if (render) {
        std::printf("zel_demo: no frames drawn: %s\n", WhyNothingWasDrawn(result));
    }

    log.Begin("shutdown");
    delete factory;
    const int released = destroy();
    dlclose(module);
    log.End(released ? "shader compiler module released" : "done");

    summary.phases = log.Lines();
    summary.skipped = log.Skipped();
    summary.log = ZelDemo::NewestEngineLog();
    summary.errors = ZelDemo::SortErrorLines(summary.log, kProvokedErrors, pendingErrors);
    const std::string text = ZelDemo::FormatSummary(summary);
    std::fputs(text.c_str(), stdout);
    std::ofstream(root / "summary.txt") << text;
    const Moments moments(options.frames);
    // The run succeeded when the window opened, every chosen frame and the actor snapshot were
    // written and the library logged no error the demo did not expect.
    return opened && summary.images.size() == moments.saved.size() + 1 &&
                   summary.errors.unexpected.empty()
               ? 0
               : 1;
}
