// The demo host. It does what a game host does: writes the data tree it runs on, loads
// libZelEngine.so with dlopen, opens an 800 x 600 window without a handle, creates static models,
// a camera path and two lights, draws frames into a render target of the window's size through
// the frame and pipe operations, saves some of them as PNG, releases everything and deletes the
// renderer. It prints one line per phase with its time, a progress line during the frames and a
// summary. It uses only the public interface headers and the fixture writers.
//
// Usage: zel_demo [--lib path/to/libZelEngine.so] [--out dir] [--quick]
// The camera path has 60 frames and frames 1, 30 and 60 are saved; --quick draws only those three.
// The tree, the log (bin/EngineLog/) and the frames (frames/) go under the output directory. It
// exits 0 when the window opened, every chosen frame was written and the log has no ERROR line.
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Interface/IRender.h"
#include "Interface/ZelEngine.h"
#include "demo/DemoDataTree.h"

namespace {

namespace fs = std::filesystem;

constexpr int kCreated = 100;
constexpr int kWidth = 800;
constexpr int kHeight = 600;

struct Options {
    std::string library = ZEL_DEFAULT_LIBRARY;
    fs::path out = "out";
    bool quick = false;
};

void Usage() {
    std::printf("usage: zel_demo [--lib path/to/libZelEngine.so] [--out dir] [--quick]\n");
}

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--lib") && i + 1 < argc) {
            options->library = argv[++i];
        } else if (!std::strcmp(argv[i], "--out") && i + 1 < argc) {
            options->out = argv[++i];
        } else if (!std::strcmp(argv[i], "--quick")) {
            options->quick = true;
        } else {
            return false;
        }
    }
    return true;
}

// Times the phases and prints one line for each.
class Phases {
public:
    void Begin(const char* name) {
        name_ = name;
        start_ = std::chrono::steady_clock::now();
    }
    double End(const char* outcome) {
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
                .count();
        std::printf("zel_demo: %-16s %8.1f ms  %s\n", name_, ms, outcome);
        std::fflush(stdout);
        return ms;
    }

private:
    const char* name_ = "";
    std::chrono::steady_clock::time_point start_;
};

// The newest log file the library wrote under the working directory; empty when there is none.
std::string NewestLog() {
    std::error_code ec;
    fs::path newest;
    fs::file_time_type newestTime{};
    for (const auto& entry : fs::directory_iterator("EngineLog", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("Engine_", 0) != 0 || entry.path().extension() != ".log")
            continue;
        const auto time = entry.last_write_time(ec);
        if (newest.empty() || time > newestTime) {
            newest = entry.path();
            newestTime = time;
        }
    }
    return newest.empty() ? std::string() : fs::absolute(newest, ec).string();
}

// Records of the log at the error level (" :ERROR:" after the record's time and thread).
int CountErrorLines(const std::string& path) {
    std::ifstream in(path);
    int errors = 0;
    for (std::string line; std::getline(in, line);)
        if (line.find(" :ERROR:") != std::string::npos)
            ++errors;
    return errors;
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

// What the frames need: the models, the lights and the target they are drawn into.
struct Scene {
    std::vector<ZelI::IModel*> models;
    std::vector<ZelI::ILight*> lights;
    ZelI::IRenderTarget* target = nullptr;

    void Release() {
        for (ZelI::IModel* model : models)
            if (model)
                model->Release();
        for (ZelI::ILight* light : lights)
            if (light)
                light->Release();
        if (target)
            target->Release();
        models.clear();
        lights.clear();
        target = nullptr;
    }
};

// A light pipe leaves the scene's ambient colour at its light's: every light carries the
// scene's ambient so that the frames after the first see the same.
constexpr float kAmbient[4] = {0.25f, 0.25f, 0.3f, 1.0f};

void BuildScene(ZelI::IRender* render, Scene* scene) {
    const ZelDemo::DataTreeNames& names = ZelDemo::DemoNames();
    const float places[][3] = {
        {-2.5f, 1.0f, 0.0f}, {0.5f, 1.0f, -0.5f}, {1.2f, 0.8f, 2.0f}, {0.0f, 0.0f, 0.0f}};
    for (std::size_t i = 0; i < names.models.size(); ++i) {
        const std::string name = ZelDemo::HostModelName(names.models[i]);
        ZelI::IModel* model = render->CreateModel(name.c_str(), 0);
        if (!model) {
            std::printf("zel_demo: CreateModel %s -> null\n", names.models[i].c_str());
            continue;
        }
        model->SetPosition(places[i]);
        scene->models.push_back(model);
    }
    if (ZelI::ILight* sun = render->CreateLight(0)) {
        // A directional light takes the vector as the direction it shines from: up and left.
        const float from[3] = {-2.0f, 3.0f, 1.0f};
        const float warm[4] = {0.6f, 0.55f, 0.45f, 1.0f};
        sun->SetPosition(from);
        sun->SetDiffuse(warm);
        sun->SetAmbient(kAmbient);
        scene->lights.push_back(sun);
    }
    if (ZelI::ILight* lamp = render->CreateLight(1)) {
        const float at[3] = {2.0f, 3.0f, 2.0f};
        const float blue[4] = {0.2f, 0.3f, 0.6f, 1.0f};
        lamp->SetPosition(at);
        lamp->SetDiffuse(blue);
        lamp->SetAmbient(kAmbient);
        lamp->SetRange(10.0f);
        scene->lights.push_back(lamp);
    }
    int width = kWidth;
    int height = kHeight;
    scene->target = render->CreateClientRenderTarget(&width, &height, 0, 0);
}

// Frame i of count: the camera circles the models and looks at their middle.
void PlaceCamera(ZelI::IRender* render, int i, int count) {
    const float angle = -0.5f + 1.0f * static_cast<float>(i) / static_cast<float>(count);
    const float eye[3] = {9.0f * std::sin(angle), 4.0f, 9.0f * std::cos(angle)};
    const float target[3] = {0.0f, 1.0f, 0.0f};
    const float up[3] = {0.0f, 1.0f, 0.0f};
    render->LookAt(eye, target, up);
    render->SetCameraFov(60.0f, static_cast<float>(kWidth) / kHeight, 0.1f, 100.0f);
    render->UpdateCameras();
}

// The models through the pipes: one pipe lit by the scene's ambient light, one more for each
// light adding what it gives, then the blended pieces over everything.
void DrawModels(ZelI::IRender* render, const Scene& scene) {
    auto pipe = [&](int mode, ZelI::ILight* light) {
        render->PushNewPipe(mode, reinterpret_cast<std::intptr_t>(light), 0, 0, 0);
        for (ZelI::IModel* model : scene.models) render->PushToPipe(model);
        render->ProcessCurrentPipe();
        render->RenderPushedPipes();
        render->CleanPushedObjsAndSubModels();
    };
    pipe(0, nullptr);
    for (ZelI::ILight* light : scene.lights) pipe(2, light);
    render->RenderTransparentPipeline();
    render->ClearTransparentPipeline();
}

// Draws the chosen frames of a path of count frames (all of them when drawn is empty); answers
// the number of images written.
int DrawFrames(ZelI::IRender* render, Scene& scene, int count, const std::vector<int>& drawn,
               const std::vector<int>& saved, const fs::path& frames) {
    int written = 0;
    const float sky[4] = {0.35f, 0.55f, 0.8f, 1.0f};
    render->SetClearColor(sky);
    for (int i = 1; i <= count; ++i) {
        if (!drawn.empty() && std::find(drawn.begin(), drawn.end(), i) == drawn.end())
            continue;
        PlaceCamera(render, i, count);
        render->FrameBegin();
        if (scene.target)
            scene.target->BeginRendering(0);
        render->Clear();
        DrawModels(render, scene);
        if (scene.target)
            scene.target->EndRendering();
        render->FrameEnd();
        render->SwapBuffer();
        for (int s : saved) {
            if (s != i || !scene.target)
                continue;
            char name[32];
            std::snprintf(name, sizeof(name), "frame_%03d.png", i);
            if (scene.target->SaveToFile((frames / name).string().c_str()))
                ++written;
            else
                std::printf("zel_demo: %s not written\n", name);
        }
        std::printf("\rzel_demo: frame %d/%d", i, count);
        std::fflush(stdout);
    }
    std::printf("\n");
    return written;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        Usage();
        return 2;
    }
    std::error_code ec;
    const fs::path root = fs::absolute(options.out, ec);
    const fs::path frames = root / "frames";
    // The camera path has 60 frames; the short run draws only the three that are saved.
    const int frameCount = 60;
    const std::vector<int> saved = {1, 30, 60};
    const std::vector<int> drawnFrames = options.quick ? saved : std::vector<int>{};
    Phases phases;

    phases.Begin("data tree");
    std::string error;
    if (!ZelDemo::WriteDataTree(root, &error)) {
        phases.End(error.c_str());
        return 1;
    }
    fs::remove_all(frames, ec);
    fs::create_directories(frames, ec);
    fs::current_path(ZelDemo::WorkingDirectoryOf(root), ec);
    phases.End(root.string().c_str());

    phases.Begin("load library");
    void* module = dlopen(options.library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        phases.End(dlerror());
        return 1;
    }
    auto create = reinterpret_cast<PFN_CreateRenderer>(dlsym(module, "CreateRenderer"));
    auto destroy = reinterpret_cast<PFN_DeleteRenderer>(dlsym(module, "DeleteRenderer"));
    if (!create || !destroy) {
        phases.End("CreateRenderer or DeleteRenderer missing");
        dlclose(module);
        return 1;
    }
    phases.End(options.library.c_str());

    phases.Begin("create renderer");
    ZelI::IRender* render = create();
    phases.End(render ? "IRender" : "null");
    int images = 0;
    double frameMs = 0.0;
    int drawn = 0;
    bool opened = false;
    if (render) {
        phases.Begin("open window");
        ZelI::RenderWindowParams params;
        params.width = kWidth;
        params.height = kHeight;
        const int result = render->CreateRenderWindow(&params);
        char outcome[160];
        std::snprintf(outcome, sizeof(outcome), "CreateRenderWindow -> %d", result);
        phases.End(outcome);

        opened = result == kCreated;
        if (opened) {
            Scene scene;
            phases.Begin("build scene");
            BuildScene(render, &scene);
            std::snprintf(outcome, sizeof(outcome), "%zu models, %zu lights, target %s",
                          scene.models.size(), scene.lights.size(),
                          scene.target ? "made" : "refused");
            phases.End(outcome);

            phases.Begin("draw frames");
            images = DrawFrames(render, scene, frameCount, drawnFrames, saved, frames);
            frameMs = phases.End("done");
            drawn = drawnFrames.empty() ? frameCount : static_cast<int>(drawnFrames.size());

            phases.Begin("release");
            scene.Release();
            phases.End("done");
        } else {
            std::printf("zel_demo: no frames drawn: %s\n", WhyNothingWasDrawn(result));
        }
    }

    phases.Begin("delete renderer");
    const int released = destroy();
    phases.End(released ? "shader compiler module released" : "done");
    dlclose(module);

    const std::string log = NewestLog();
    std::printf("zel_demo: summary\n");
    if (drawn > 0) {
        const double perFrame = frameMs / drawn;
        std::printf("  frames drawn      %d\n", drawn);
        std::printf("  ms per frame      %.2f\n", perFrame);
        std::printf("  frames per second %.1f\n", perFrame > 0.0 ? 1000.0 / perFrame : 0.0);
    } else {
        std::printf("  frames drawn      0\n");
    }
    std::printf("  images written    %d (in %s)\n", images, frames.string().c_str());
    std::printf("  log file          %s\n", log.empty() ? "(none written)" : log.c_str());
    const int errors = log.empty() ? 0 : CountErrorLines(log);
    std::printf("  ERROR lines       %d\n", errors);
    // The run succeeded when the window opened, every chosen frame was written and the library
    // logged no error on the way.
    return opened && images == static_cast<int>(saved.size()) && errors == 0 ? 0 : 1;
}
