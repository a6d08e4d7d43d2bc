// The render object as a host meets it before and while opening its window: the data tree check,
// the window stand-in, the creation parameters, the frame-time sum and the neutral answers before
// the window exists. Each test runs one level below a temporary root.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include <stb/stb_image.h>

#include "Core/FrameStats.h"
#include "Core/QueueMode.h"
#include "Core/threadmng.h"
#include "Entity/Scene/RenderQueue.h"
#include "Entity/Scene/RenderableGroup.h"
#include "Entity/Scene/SceneManager.h"
#include "Platform/D3D9/SoftDevice9.h"
#include "Platform/Win32/Win32Window.h"
#include "Render/RenderSystem.h"
#include "Render/RenderWindow.h"
#include "Render/d3d9/RenderDeviceD3D9.h"
#include "Render/RenderCore/CreateDisplaySettings.h"
#include "Render/RenderCore/IRenderImpl.h"
#include "demo/DemoDataTree.h"
#include "support/GoldenImage.h"
#include "tests/Render/RenderCore/HostWindowFixture.h"

namespace ZelTest {
namespace {

namespace fs = std::filesystem;

TEST_F(RenderWindowTest, AnIncompleteDataTreeIsRefusedAfterEveryCheckHasSpoken) {
    struct Case {
        const char* removed;
        const char* message;
    };
    const Case cases[] = {
        {"data/include", "data\\include目录不存在!"},
        {"data/Materials", "data\\Materials目录不存在!"},
        {"resources", "resources目录不存在!"},
        {"data", "data目录不存在！"},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir_.Path() / c.removed);
        ZelI::RenderWindowParams params;
        EXPECT_EQ(Render()->CreateRenderWindow(&params), -201) << c.removed;
        EXPECT_NE(Log().find(c.message), std::string::npos) << c.removed;
        EXPECT_EQ(Render()->GetWindowHandle(), nullptr);
    }
    // With data gone the later checks still report.
    EXPECT_NE(Log().rfind("resources目录不存在!"), Log().find("resources目录不存在!"));
}

TEST_F(RenderWindowTest, AnEmptyIncludeDirectoryIsRefused) {
    for (const auto& entry : fs::directory_iterator(dir_.Path() / "data/include"))
        fs::remove(entry.path());
    ZelI::RenderWindowParams params;
    EXPECT_EQ(Render()->CreateRenderWindow(&params), -201);
    EXPECT_NE(Log().find("data\\include目录下没有文件!"), std::string::npos);
}

TEST_F(RenderWindowTest, WithoutAHandleTheLibraryMakesAWindowOfTheRequestedSize) {
    ZelI::RenderWindowParams params;
    params.width = 320;
    params.height = 200;
    params.reserved0 = 0x1234;
    params.reserved4[1] = 77;
    params.multisample = 3;
    EXPECT_EQ(Render()->CreateRenderWindow(&params), 100);
    EXPECT_TRUE(fs::is_directory(dir_.Path() / "data/Effects/Legacy5"));

    auto window = static_cast<HWND>(Render()->GetWindowHandle());
    ASSERT_NE(window, nullptr);
    RECT rect{};
    ASSERT_TRUE(GetClientRect(window, &rect));
    EXPECT_EQ(rect.right - rect.left, 320);
    EXPECT_EQ(rect.bottom - rect.top, 200);

    ZelI::RenderWindowParams back;
    back.width = 1;
    Render()->GetCreateParams(&back);
    EXPECT_EQ(std::memcmp(&back, &params, sizeof(params)), 0);

    // The window belongs to the library until the renderer goes.
    Zel::Globals::DeleteSingleton();
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(RenderWindowTest, AHandleThatIsNotAWindowIsRefused) {
    ZelI::RenderWindowParams params;
    int notAWindow = 0;
    params.window = &notAWindow;
    EXPECT_EQ(Render()->CreateRenderWindow(&params), -101);
    EXPECT_EQ(Render()->GetWindowHandle(), nullptr);

    params.window = nullptr;
    params.width = 0;  // no window of that size
    EXPECT_EQ(Render()->CreateRenderWindow(&params), -101);
    EXPECT_EQ(Render()->GetWindowHandle(), nullptr);

    HWND own = Win32Window::Create(64, 48);
    params.window = own;
    params.width = 64;
    params.height = 48;
    EXPECT_EQ(Render()->CreateRenderWindow(&params), 100);
    EXPECT_EQ(Render()->GetWindowHandle(), own);
    Zel::Globals::DeleteSingleton();
    EXPECT_TRUE(IsWindow(own));  // the host's window stays the host's
    DestroyWindow(own);
}

TEST_F(OpenWindowTest, TheWindowIsReadyToDrawAndTheLogClosesTheStartUp) {
    ASSERT_NE(System(), nullptr);
    EXPECT_NE(System()->GetMainWindow(), nullptr);
    EXPECT_EQ(System()->GetActiveRenderWindow(), System()->GetMainWindow());
    EXPECT_TRUE(Render()->IsWindowed());
    EXPECT_NE(Zel::threadmng::GetInstance()->GetThread(0), nullptr);
    const std::string log = Log();
    for (const char* line : {"CreateRenderSystem耗时", "SceneManager::Init耗时", "激活渲染窗口耗时",
                             "引擎初始化结束.", "CreateRenderWindow总耗时"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_EQ(log.find(":ERROR:"), std::string::npos);
    // A second call finds the window made.
    ZelI::RenderWindowParams params;
    EXPECT_EQ(Render()->CreateRenderWindow(&params), 100);
    EXPECT_EQ(System()->GetMainWindow(), System()->GetActiveRenderWindow());
}

TEST_F(OpenWindowTest, TheClearColourReachesTheWindowsFrameBuffer) {
    std::shared_ptr<Win32Window> window = Window();
    ASSERT_NE(window, nullptr);
    const std::uint32_t frameBefore = G()->GetSceneManager()->GetFrameId();
    ClearedFrame(1.0f, 0.0f, 0.0f);
    EXPECT_EQ(window->PresentCount(), 1u);
    EXPECT_EQ(window->Pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(window->Pixel(63, 47), 0xFFFF0000u);
    // A presented frame counts twice: once as it begins, once as it is shown.
    EXPECT_EQ(G()->GetSceneManager()->GetFrameId(), frameBefore + 2);

    // Without the colour bit the target keeps what it had.
    Render()->SetClearFlags(6);
    ClearedFrame(0.0f, 0.0f, 1.0f);
    EXPECT_EQ(window->Pixel(10, 10), 0xFFFF0000u);
    Render()->SetClearFlags(0x0F);
    ClearedFrame(0.0f, 0.0f, 1.0f);
    EXPECT_EQ(window->Pixel(10, 10), 0xFF0000FFu);
}

TEST_F(OpenWindowTest, ALostDeviceGatesTheFrameAndTheNextFrameBeginResetsIt) {
    std::shared_ptr<Win32Window> window = Window();
    ASSERT_NE(window, nullptr);
    ASSERT_NE(Soft(), nullptr);
    ClearedFrame(0.0f, 1.0f, 0.0f);
    ASSERT_EQ(window->Pixel(5, 5), 0xFF00FF00u);

    Soft()->SetCooperativeLevelResult(D3DERR_DEVICELOST);
    ClearedFrame(1.0f, 1.0f, 1.0f);
    EXPECT_FALSE(Render()->IsFrameBegan());
    EXPECT_EQ(window->PresentCount(), 1u);
    EXPECT_EQ(window->Pixel(5, 5), 0xFF00FF00u);
    // Host targets are not made while the frame is refused.
    int width = 8, height = 8;
    EXPECT_EQ(Render()->CreateClientRenderTarget(&width, &height, 0, 0), nullptr);

    // The device can be reset again: the next frame does it and draws.
    Soft()->SetCooperativeLevelResult(D3DERR_DEVICENOTRESET);
    ClearedFrame(1.0f, 1.0f, 1.0f);
    EXPECT_TRUE(Render()->IsFrameBegan());
    EXPECT_EQ(window->PresentCount(), 2u);
    EXPECT_EQ(window->Pixel(5, 5), 0xFFFFFFFFu);
}

// The default flags name the stencil, which a host target's 16-bit depth lacks: the colour and
// the depth are cleared all the same, and the device is not asked for what it would refuse.
TEST_F(OpenWindowTest, AHostTargetIsClearedWithTheDefaultFlagsAndSavedAsTheFrame) {
    int width = 64, height = 48;
    ZelI::IRenderTarget* target = Render()->CreateClientRenderTarget(&width, &height, 0, 0);
    ASSERT_NE(target, nullptr);
    ASSERT_EQ(Render()->GetClearFlags(), 7);
    const float colour[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    Render()->SetClearColor(colour);
    Render()->FrameBegin();
    target->BeginRendering(0);
    Render()->Clear();
    target->EndRendering();
    Render()->FrameEnd();
    Render()->SwapBuffer();

    const std::string path = (dir_.Path() / "frame.png").string();
    ASSERT_TRUE(target->SaveToFile(path.c_str()));
    target->Release();
    int w = 0, h = 0, channels = 0;
    std::unique_ptr<unsigned char, void (*)(void*)> pixels(
        stbi_load(path.c_str(), &w, &h, &channels, 3), &stbi_image_free);
    ASSERT_NE(pixels, nullptr);
    ASSERT_EQ(w, 64);
    ASSERT_EQ(h, 48);
    const unsigned char* last = pixels.get() + (w * h - 1) * 3;
    EXPECT_EQ(last[0], 0);
    EXPECT_EQ(last[2], 255);
    EXPECT_EQ(Log().find(":ERROR:"), std::string::npos);
}

TEST_F(OpenWindowTest, ResizingNeedsAPositiveSize) {
    struct Case {
        int width, height;
        int result;
    };
    const Case cases[] = {{0, 600, 0}, {400, -1, 0}, {32, 24, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(Render()->ResizeWindowForEditor(c.width, c.height, 0), c.result)
            << c.width << "x" << c.height;
        if (c.result == 1) {
            EXPECT_EQ(System()->GetActiveRenderWindow()->GetWidth(), std::uint32_t(c.width));
            EXPECT_EQ(System()->GetActiveRenderWindow()->GetHeight(), std::uint32_t(c.height));
        }
    }
    EXPECT_NE(Log().find("IRenderImpl::ResizeWindowForEditor失败,w=0,h=600"), std::string::npos);
    EXPECT_EQ(Render()->ResizeWindowAll(48, 40, 0, 0, 0, 0, 0), 1);
    EXPECT_NE(Log().find("ResizeWindowForEditor ,w=48,h=40,winID=-1"), std::string::npos);
    // The frames go on at the new size.
    ClearedFrame(0.0f, 1.0f, 1.0f);
    EXPECT_TRUE(Render()->IsFrameBegan());
}

TEST_F(OpenWindowTest, ADisplayModeReachesTheDeviceAndTheFramesGoOn) {
    ZelI::RenderWindowParams params;
    params.width = 64;
    params.height = 48;
    params.fullScreen = 1;
    Render()->SetDisplayMode(&params);
    EXPECT_FALSE(Render()->IsWindowed());
    params.fullScreen = 0;
    Render()->SetDisplayMode(&params);
    EXPECT_TRUE(Render()->IsWindowed());
    // The host passed no handle: the device keeps drawing into the library's window.
    ClearedFrame(1.0f, 0.0f, 1.0f);
    EXPECT_TRUE(Render()->IsFrameBegan());
    EXPECT_EQ(Window()->Pixel(1, 1), 0xFFFF00FFu);
    EXPECT_EQ(Log().find(":ERROR:"), std::string::npos);
}

// A clock the test moves by hand: 1,000,000 counts per second.
std::int64_t g_now = 0;
bool TestClock(std::int64_t* count, std::int64_t* frequency) {
    *count = g_now;
    *frequency = 1000000;
    return true;
}

TEST_F(RenderWindowTest, FrameEndAddsTheMillisecondsSinceThePreviousFrameEnd) {
    Zel::IRenderImpl::GetFrameTimeCounter().SetClock(&TestClock);
    std::uint32_t& sum = G()->GetFrameStats()->words[Zel::FRAME_TIME_MS];
    sum = 0;
    g_now = 5000000000;  // the machine has been up for a long time
    Render()->FrameEnd();
    EXPECT_EQ(sum, 0u);  // the first frame end only takes the reading
    g_now += 10000;      // 10 ms
    Render()->FrameEnd();
    EXPECT_EQ(sum, 10u);
    g_now += 2500;  // 2.5 ms: the sum is stored truncated
    Render()->FrameEnd();
    EXPECT_EQ(sum, 12u);
}

TEST_F(RenderWindowTest, BeforeTheWindowTheRenderObjectAnswersNeutrally) {
    EXPECT_EQ(Render()->GetWindowHandle(), nullptr);
    EXPECT_EQ(Render()->ResizeWindow(320, 200), 0);
    EXPECT_FALSE(Render()->IsWindowed());
    ZelI::RenderWindowParams params;
    Render()->SetDisplayMode(&params);
    Render()->FrameBegin();
    Render()->Clear();
    Render()->FrameEnd();
    Render()->SwapBuffer();
    float direction[3] = {};
    Render()->GetCameraDirection(direction);
    EXPECT_EQ(direction[0], 1.0f);
    EXPECT_EQ(Render()->GetMainCamera(), nullptr);
    EXPECT_FALSE(Render()->IsBoxVisible(nullptr));
    EXPECT_FALSE(Render()->RenderScene(nullptr));
    EXPECT_FALSE(Render()->RenderPipe(nullptr));
    EXPECT_EQ(Render()->CreateModel("models/lit_cube.dm3", 0), nullptr);
    EXPECT_EQ(Render()->GetClearFlags(), 7);
    EXPECT_EQ(Render()->GetMaxLights(), 1000);
    EXPECT_EQ(Render()->GetReserved(0), -1);
    // Reserved positions answer what they are declared to answer.
    ZelI::IRender* host = Render();
    EXPECT_TRUE(host->Reserved04(0));
    EXPECT_EQ(host->Reserved07(), 1.0f);
    float a = 5.0f, b = 5.0f;
    host->Reserved10(&a, &b, nullptr);
    EXPECT_EQ(a + b, 0.0f);
}

TEST_F(RenderWindowTest, TheWindowBringsTheMainCameraWhichTheCameraOperationsSteer) {
    ZelI::RenderWindowParams params;
    Render()->CreateRenderWindow(&params);
    ZelI::ICamera* camera = Render()->GetMainCamera();
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(Render()->GetMainCamera(), camera);
    const float eye[3] = {0.0f, 2.0f, 8.0f};
    const float target[3] = {0.0f, 2.0f, 0.0f};
    const float up[3] = {0.0f, 1.0f, 0.0f};
    Render()->LookAt(eye, target, up);
    float position[3] = {};
    camera->GetPosition(position);
    EXPECT_FLOAT_EQ(position[2], 8.0f);
    float direction[3] = {};
    Render()->GetCameraDirection(direction);
    EXPECT_NEAR(direction[2], -1.0f, 1e-6f);

    Render()->SetCameraFov(90.0f, 2.0f, 0.5f, 50.0f);
    float fov = 0, aspect = 0, nearClip = 0, farClip = 0;
    Render()->GetCameraFov(&fov, &aspect, &nearClip, &farClip);
    EXPECT_NEAR(fov, 90.0f, 1e-3f);
    EXPECT_EQ(aspect, 2.0f);
    EXPECT_EQ(nearClip, 0.5f);
    EXPECT_EQ(farClip, 50.0f);

    // A host that releases the main camera's wrapper gives the camera back to the scene; the
    // camera operations then find no main camera.
    camera->Release();
    EXPECT_EQ(Render()->GetMainCamera(), nullptr);
    Render()->LookAt(eye, target, up);
    Render()->GetCameraDirection(direction);
    EXPECT_EQ(direction[0], 1.0f);
    fov = 0.0f;
    Render()->GetCameraFov(&fov, nullptr, nullptr, nullptr);
    EXPECT_EQ(fov, 0.0f);
}

// Models of the data tree made through the render object, drawn the way a host draws a frame:
// an ambient pipe for every model, one pipe a light adds, then the blended pieces over them.
class HostFrameTest : public OpenWindowTest {
protected:
    ~HostFrameTest() override {
        for (ZelI::IMoveObject* object : objects_) object->Release();
    }
    template <class T>
    T* Keep(T* object) {
        if (object)
            objects_.push_back(object);
        return object;
    }
    ZelI::IModel* Model(const char* name, float x, float y, float z) {
        ZelI::IModel* model = Keep(Render()->CreateModel(ZelDemo::HostModelName(name).c_str(), 0));
        const float at[3] = {x, y, z};
        if (model)
            model->SetPosition(at);
        return model;
    }
    void DrawFrame(const std::vector<ZelI::IModel*>& models,
                   const std::vector<ZelI::ILight*>& lights) {
        Render()->PushNewPipe(0, 0, 0, 0, 0);
        for (ZelI::IModel* model : models) Render()->PushToPipe(model);
        Render()->ProcessCurrentPipe();
        Render()->RenderPushedPipes();
        Render()->CleanPushedObjsAndSubModels();
        for (ZelI::ILight* light : lights) {
            Render()->PushNewPipe(2, reinterpret_cast<std::intptr_t>(light), 0, 0, 0);
            for (ZelI::IModel* model : models) Render()->PushToPipe(model);
            Render()->ProcessCurrentPipe();
            Render()->RenderPushedPipes();
            Render()->CleanPushedObjsAndSubModels();
        }
        Render()->RenderTransparentPipeline();
    }

    // What the transparent pass of the entities would draw.
    const auto& TransparentEntries() {
        auto* group = static_cast<Zel::RenderableGroupTransparent*>(
            G()->GetSceneManager()->GetRenderQueue()->GetGroup(
                Zel::RENDER_GROUP_ENTITY_TRANSPARENT));
        return group->GetEntries();
    }

    std::vector<ZelI::IMoveObject*> objects_;
};

// The lit cube on the left takes the lamp on its left face, the textured cube on the right shows
// its pattern, and the half-transparent larger cube in front lets both show through.
TEST_F(HostFrameTest, StaticModelsPushedThroughThePipesAppearInTheSavedFrame) {
    const std::vector<ZelI::IModel*> models = {Model("models/lit_cube.dm3", -1.8f, 1.0f, 0.0f),
                                               Model("models/textured_cube.dm3", 1.8f, 1.0f, 0.0f),
                                               Model("models/glass_cube.dm3", -0.6f, 0.8f, 2.5f)};
    for (ZelI::IModel* model : models) ASSERT_NE(model, nullptr);
    ZelI::ILight* lamp = Keep(Render()->CreateLight(1));
    ASSERT_NE(lamp, nullptr);
    const float lampAt[3] = {-5.0f, 5.0f, 5.0f};
    const float warm[4] = {1.0f, 0.9f, 0.7f, 1.0f};
    lamp->SetPosition(lampAt);
    lamp->SetDiffuse(warm);
    lamp->SetRange(30.0f);

    const float half[3] = {0.5f, 0.5f, 0.5f};
    models[2]->SetScale(half);
    int width = 320, height = 240;
    ZelI::IRenderTarget* target = Render()->CreateClientRenderTarget(&width, &height, 0, 0);
    ASSERT_NE(target, nullptr);
    const float eye[3] = {0.0f, 3.5f, 8.0f}, at[3] = {0.0f, 0.8f, 0.0f}, up[3] = {0, 1, 0};
    Render()->LookAt(eye, at, up);
    Render()->SetCameraFov(60.0f, 320.0f / 240.0f, 0.5f, 50.0f);
    const float sky[4] = {0.2f, 0.3f, 0.45f, 1.0f};
    Render()->SetClearColor(sky);
    Render()->FrameBegin();
    target->BeginRendering(0);
    Render()->Clear();
    DrawFrame(models, {lamp});
    target->EndRendering();
    Render()->FrameEnd();
    Render()->SwapBuffer();

    const std::string path = (dir_.Path() / "models.png").string();
    ASSERT_TRUE(target->SaveToFile(path.c_str()));
    target->Release();
    ExpectGoldenPng(path, "host_static_models", 3);
    EXPECT_EQ(Log().find(":ERROR:"), std::string::npos) << Log();
}

TEST_F(HostFrameTest, CreateModelMakesStaticModelsAndRefusesTheKindsItCannotMake) {
    struct Case {
        const char* name;
        bool made;
        const char* logged;  // null: nothing to look for
    };
    const Case cases[] = {
        {"../resources/models/lit_cube.dm3", true, nullptr},
        {"../resources/models/missing.dm3", false, nullptr},
        {"models/hero.chr", false, "CreateModel chr, models/hero.chr"},
        {"models/HERO.CH3", false, "CreateModel chr, models/HERO.CH3"},
        {"models/walk.act", false, "create Actor"},
        {"models/cube.obj", false, "file="},
    };
    for (const Case& c : cases) {
        ZelI::IModel* model = Keep(Render()->CreateModel(c.name, 0));
        EXPECT_EQ(model != nullptr, c.made) << c.name;
        if (c.logged) {
            EXPECT_NE(Log().find(c.logged), std::string::npos) << c.name;
        }
    }
    // No name: an empty model the host fills itself.
    ZelI::IModel* empty = Keep(Render()->CreateModel(nullptr, 0));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->GetMaterialCount(), 0u);

    // The first form places the model by its local matrix.
    const float matrix[16] = {1, 0, 0, 4, 0, 1, 0, 5, 0, 0, 1, 6, 0, 0, 0, 1};
    ZelI::IModel* placed =
        Keep(Render()->CreateModel("../resources/models/lit_cube.dm3", matrix, 0, 0));
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(placed->GetLocalMatrix()[3], 4.0f);
    EXPECT_EQ(placed->GetLocalMatrix()[11], 6.0f);

}

TEST_F(HostFrameTest, AModelTellsAndTakesItsMaterials) {
    ZelI::IModel* lit = Model("models/lit_cube.dm3", 0, 0, 0);
    ZelI::IModel* glass = Model("models/glass_cube.dm3", 0, 0, 0);
    ASSERT_NE(lit, nullptr);
    ASSERT_NE(glass, nullptr);
    EXPECT_EQ(lit->GetMaterialCount(), 1u);
    EXPECT_FALSE(lit->HasTransparentMaterial());
    EXPECT_TRUE(glass->HasTransparentMaterial());
    // Binary models name their meshes by position: the lit cube's piece takes the glass from the
    // library by that name; a name no mesh has changes nothing.
    const char* library = "../data/Materials/demo.xml";
    const char* glassName = ZelDemo::DemoNames().blendedMaterial.c_str();
    lit->SetSubEntityShaderFromFile(library, glassName, "Cube");
    EXPECT_FALSE(lit->HasTransparentMaterial());
    lit->SetSubEntityShaderFromFile(library, glassName, "Mesh0");
    EXPECT_TRUE(lit->HasTransparentMaterial());
    // By material name: the glass cube's glass becomes the textured material.
    glass->SetShaderFromFile(library, ZelDemo::DemoNames().texturedMaterial.c_str());
    EXPECT_TRUE(glass->HasTransparentMaterial()) << "no piece has the textured material's name";

    lit->Release();
    objects_.erase(std::find(objects_.begin(), objects_.end(), lit));
    // A released wrapper answers neutrally.
    EXPECT_EQ(lit->GetMaterialCount(), 0u);
    EXPECT_FALSE(lit->HasTransparentMaterial());
    lit->SetDiffuseColor(0xFF00FF00u);
}

TEST_F(HostFrameTest, ALostDeviceClosesThePipesButTheTransparentGroupsStillEmpty) {
    ZelI::IModel* glass = Model("models/glass_cube.dm3", 0, 1, 0);
    ASSERT_NE(glass, nullptr);
    Zel::SceneManager* scene = G()->GetSceneManager();
    Render()->FrameBegin();
    Render()->PushNewPipe(0, 0, 0, 0, 0);
    EXPECT_TRUE(scene->IsPipeOpen());
    Render()->PushToPipe(glass);
    Render()->ProcessCurrentPipe();
    Render()->CleanPushedObjsAndSubModels();
    EXPECT_FALSE(scene->IsPipeOpen());
    EXPECT_FALSE(TransparentEntries().empty());
    Render()->FrameEnd();

    Soft()->SetCooperativeLevelResult(D3DERR_DEVICELOST);
    Render()->FrameBegin();
    ASSERT_FALSE(Render()->IsFrameBegan());
    Render()->PushNewPipe(0, 0, 0, 0, 0);
    EXPECT_FALSE(scene->IsPipeOpen());
    Render()->ClearTransparentPipeline();
    EXPECT_TRUE(TransparentEntries().empty());
    Render()->FrameEnd();
    Render()->SwapBuffer();
}

TEST(CreateDisplaySettingsTest, ParametersChooseTheFormatsAndTheSampleMask) {
    struct Case {
        std::uint16_t colourBits, depthBits, stencilBits;
        std::uint32_t multisample;
        std::uint32_t backBuffer, depth, antialias;
    };
    const Case cases[] = {
        {32, 24, 8, 1, 0, 0, 1}, {16, 24, 0, 4, 2, 1, 4}, {32, 16, 8, 32, 0, 2, 32},
        {24, 16, 0, 3, 2, 2, 1}, {32, 32, 8, 0, 0, 0, 1}, {32, 24, 4, 64, 0, 1, 1},
    };
    for (const Case& c : cases) {
        ZelI::RenderWindowParams params;
        params.colourBits = c.colourBits;
        params.depthBits = c.depthBits;
        params.stencilBits = c.stencilBits;
        params.multisample = c.multisample;
        params.width = 320;
        params.fullScreen = 1;
        params.displayFlag = 1;
        const Zel::DisplaySettings s = Zel::ToCreateDisplaySettings(params);
        EXPECT_EQ(s.backBufferFormat, c.backBuffer) << c.colourBits;
        EXPECT_EQ(s.depthFormat, c.depth) << c.depthBits << "/" << c.stencilBits;
        EXPECT_EQ(s.antialiasMode, c.antialias) << c.multisample;
        EXPECT_EQ(s.width, 320u);
        EXPECT_EQ(s.windowed, 0);
        EXPECT_EQ(s.verticalSync, 1);
    }
}

}  // namespace
}  // namespace ZelTest
