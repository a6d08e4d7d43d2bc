// The scene's start-up and shutdown: the render system's creation, the data roots, the count of
// running instances, the effect cache, the data-directory checks, the managers' base directories
// and the preloaded effects; and the two resource reports.
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Core/DataTreeCheck.h"
#include "Core/CResourceManager.h"
#include "Core/DebugHelperImpl.h"
#include "Core/EnginePaths.h"
#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Core/StreamFactory.h"
#include "Core/TimeStrings.h"
#include "Core/Timer.h"
#include "Core/itask.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Physics/PhysicsSdk.h"
#include "Entity/Character/Cloth.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Image/ImageManager.h"
#include "Entity/Material/GpuProgram.h"
#include "Entity/Material/GpuProgramManager.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/BillBoard.h"
#include "Entity/Scene/SceneManager.h"
#include "Render/RenderCore/IRenderImpl.h"
#include "Entity/Scene/Shadow.h"
#include "Entity/Texture/TextureCombiner.h"
#include "Entity/Texture/TextureManager.h"
#include "Math/ZelSIMDProcessor.h"
#include "Platform/Vfs/Vfs.h"
#include "Platform/Win32/PathResolver.h"
#include "Platform/Win32/Win32.h"
#include "Render/HardwareBufferManager.h"
#include "Render/HardwareVertexBuffer.h"
#include "Render/RenderSystem.h"

namespace Zel {

namespace {

constexpr const char* kSceneSource = "Engine/Entity/SceneManager";
constexpr const char* kDefaultEffectRoot = "../Data/Effects/Legacy5/";
constexpr const char* kInstancePrefix = "RuqMultiRunCount.";

#define ZEL_SCENE_LOCATION() LogTyped(LOG_ENGINE_INIT, "fn=%s[%d]", kSceneSource, __LINE__)

// ---- Running instances. Each instance holds an exclusive lock on its own file
// "<dir>/RuqMultiRunCount.<pid>" for as long as it runs; a file whose lock nobody holds was left
// by an instance that ended without its shutdown, and is deleted.
struct InstanceState {
    std::string directory;  // resolved; empty before Init
    int fd = -1;            // this instance's locked file
    std::string path;
};

InstanceState& Instance() {
    static InstanceState state;
    return state;
}

// The other running instances in the directory; stale files are deleted on the way.
std::uint32_t CountOtherInstances(const std::string& directory, const std::string& ownPath) {
    std::uint32_t running = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kInstancePrefix, 0) != 0 || entry.path().string() == ownPath)
            continue;
        const int fd = ::open(entry.path().c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(entry.path().c_str());
        else if (errno == EWOULDBLOCK)
            ++running;
        ::close(fd);
    }
    return running;
}

// Takes this instance's file; answers whether another instance runs.
bool RegisterInstance(const std::string& directory) {
    InstanceState& state = Instance();
    if (state.fd >= 0)
        return CountOtherInstances(state.directory, state.path) > 0;
    state.directory = directory;
    state.path = directory + "/" + kInstancePrefix + std::to_string(GetCurrentProcessId());
    const bool others = CountOtherInstances(directory, state.path) > 0;
    state.fd = ::open(state.path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (state.fd >= 0 && ::flock(state.fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(state.fd);
        state.fd = -1;
    }
    if (state.fd < 0)
        ReportError("CreateSemaphore失败！Error=%d", errno);
    return others;
}

void UnregisterInstance() {
    InstanceState& state = Instance();
    if (state.fd < 0)
        return;
    ::unlink(state.path.c_str());
    ::close(state.fd);
    state.fd = -1;
}

// ---- Start-up steps

// The step timer's time since its previous tick, in milliseconds.
float StepMs(Timer& timer) {
    timer.Tick();
    return timer.GetDelta() * 1000.0f;
}

void ClearEffectCache() {
    std::vector<std::string> directories;
    CollectDirectories(GetEngineEffectRoot(), directories, nullptr, false);
    for (const std::string& directory : directories) {
        std::vector<std::string> files;
        CollectFiles(directory, "*.*", files);
        for (const std::string& file : files) DeleteFileIfExists(file.c_str());
        RemoveDirectoryA(directory.c_str());
    }
}

void SetupDataRoots() {
    char buffer[256] = {};
    GetCurrentDirectoryA(sizeof buffer, buffer);
    const std::string working = buffer;
    const std::string parent = WorkingDirectoryParent();
    SetResourcesRoot(parent + "/resources/");
    SetEngineDataRoot(working + "/");
    SetEffectIncludeRoot(parent + "/data/");
    SetIncludeRoot(parent + "/data/include/");

    SetEngineEffectRoot(kDefaultEffectRoot);
    if (RegisterInstance(Win32Path::Resolve(parent))) {
        // Another instance uses the shared cache: this one keeps its own below it.
        SetEngineEffectRoot(std::string(kDefaultEffectRoot) +
                            std::to_string(GetCurrentProcessId()) + "\\");
        LogTyped(LOG_ENGINE_INIT, "引擎是否多开：是");
    } else {
        LogTyped(LOG_ENGINE_INIT, "引擎是否多开：否");
        ClearEffectCache();
    }
    CheckDataTree(
        {GetEffectIncludeRoot(), GetResourcesRoot(), GetIncludeRoot(), GetEngineEffectRoot()},
        CacheDirectoryFailure::FallsBack);
}

void PreloadEffects() {
    std::vector<std::string> files;
    CollectFiles(GetEngineEffectRoot(), "*.fx", files);
    GpuProgramManager* programs = Globals::Find(&Globals::GetGpuProgramManager);
    for (std::string file : files) {
        for (char& c : file)
            if (c == '\\')
                c = '/';
        LogTyped(LOG_ENGINE_INIT, "预加载Fx：%s", file.c_str());
        GpuProgram* program = programs ? programs->LoadProgram(file) : nullptr;
        if (!program || !program->IsLoadSucceeded())
            ReportError("预加载Fx失败：%s", file.c_str());
    }
}

// A 16-byte aligned 4 × 4 float matrix kept for the process from Init to shutdown.
float* g_scratchMatrix = nullptr;

bool g_fileSystemStarted = false;

}  // namespace

// ---- Render system and start-up

RenderSystem* SceneManager::CreateRenderSystem(const DisplaySettings& settings) {
    if (renderSystem_)
        return renderSystem_;
    ZEL_SCENE_LOCATION();
    auto* system = new RenderSystem(this);
    SetRenderSystem(system);
    ownsRenderSystem_ = true;
    ZEL_SCENE_LOCATION();
    if (!system->Init(settings)) {
        ReportError("Creating RenderSystem Failed");
        system->ReleaseResources();
        system->Destroy();
        ownsRenderSystem_ = false;
        SetRenderSystem(nullptr);
        MessageBoxA(nullptr, "初始化渲染核心失败,请更新显卡驱动或者DirectX版本", "ERROR", 0);
        return nullptr;
    }
    ZEL_SCENE_LOCATION();
    if (threadio* worker = threadmng::GetInstance()->GetOrCreateThread(0))
        worker->Start(nullptr);
    return system;
}

void SceneManager::Init(const char* options) {
    Timer timer;
    timer.Reset();
    ZEL_SCENE_LOCATION();
    SetupDataRoots();
    LogTyped(LOG_ENGINE_INIT, "\t初始化运行时耗时：%5.2f ms", StepMs(timer));
    if (ZelSIMDProcessor* processor = SetupSIMDProcessor())
        (void)processor;  // SetupSIMDProcessor logs the instruction set it found
    if (!g_scratchMatrix)
        g_scratchMatrix = static_cast<float*>(::operator new(64, std::align_val_t(16)));
    if (!renderSystem_)
        return;
    if (options) {
        const std::string text = options;
        if (text.find("mode") != std::string::npos && text.find('=') != std::string::npos) {
            if (text.find("normal") != std::string::npos)
                runMode_ = 0;
            else if (text.find("test") != std::string::npos)
                runMode_ = 1;
        }
    }
    LogTyped(LOG_ENGINE_INIT, "\t初始化数学库，指令集 耗时：%5.2f ms", StepMs(timer));
    if (!g_fileSystemStarted) {
        ZEL_SCENE_LOCATION();
        g_fileSystemStarted = true;
        VFS::InitVFS("./EngineLog/EngineVFS.log");
        LogTyped(LOG_ENGINE_INIT, "\t初始化VFS耗时：%5.2f ms", StepMs(timer));
    }
    if (MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager))
        materials->SetBasePath("../Data/Materials/");
    if (ImageManager* images = Globals::Find(&Globals::GetImageManager))
        images->SetBasePath("../Resources/Media/shaders/");
    if (GeometryManager* geometry = Globals::Find(&Globals::GetGeometryManager))
        geometry->SetBasePath("../Data/Models/");
    if (GpuProgramManager* programs = Globals::Find(&Globals::GetGpuProgramManager))
        programs->SetBasePath("../Data/Effects/");
    ZEL_SCENE_LOCATION();
    LogTyped(LOG_ENGINE_INIT, "\t初始化 Image 耗时：%5.2f ms", StepMs(timer));
    Shadow::Init();
    LogTyped(LOG_ENGINE_INIT, "\t初始化 ShadowManager耗时：%5.2f ms", StepMs(timer));
    if (MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager))
        materials->CreateBuiltinMaterials();
    LogTyped(LOG_ENGINE_INIT, "\t生成默认材质耗时：%5.2f ms", StepMs(timer));
    TextureCombiner::Init();
    LogTyped(LOG_ENGINE_INIT, "\t初始化TextureCombiner和timer耗时：%5.2f ms", StepMs(timer));
    ZEL_SCENE_LOCATION();
    physicsAvailable_ = LoadPhysicsSDK() ? 1 : 0;
    LogTyped(LOG_ENGINE_INIT, "\t初始化物理耗时：%5.2f ms", StepMs(timer));
    ZEL_SCENE_LOCATION();
    Cloth::SetGlobalEnabled(physicsAvailable_ != 0);
    if (IsDX7Mode()) {
        SetShadowQuality(SHADOW_OFF);
        LogTyped(LOG_ENGINE_INIT, "Dx7模式，关闭阴影质量.");
    }
    PreloadEffects();
    LogTyped(LOG_ENGINE_INIT, "\t预先加载Fx耗时：%5.2f ms", StepMs(timer));
    LogTyped(LOG_ENGINE_INIT, "SM初始化结束.");
}

std::uint32_t SceneManager::GetRunningInstanceCount() {
    InstanceState& state = Instance();
    if (state.fd < 0)
        return 1;
    return 1 + CountOtherInstances(state.directory, state.path);
}

std::string SceneManager::GetInstanceDirectory() {
    return Instance().directory;
}

// ---- Shutdown

void SceneManager::ShutdownSceneGlobals() {
    ::operator delete(g_scratchMatrix, std::align_val_t(16));
    g_scratchMatrix = nullptr;
    DestroyAllLights();
    ClearNodeRegistry();
    ReleaseAndClearEntities();
    DestroyAllCameras();
    // Post-effect buffers and targets and the colour-stylising renderer are released here once
    // they exist.
    ReleaseStaticTextures();
    Shadow::Shutdown();
    BillBoard::ReleaseSharedShapes();
}

void SceneManager::ShutdownPhysicsAndCaches() {
    Cloth::FreeScratchArray();
    if (renderSystem_ && ownsRenderSystem_) {
        RenderSystem* system = renderSystem_;
        system->ReleaseResources();
        system->Destroy();
        ownsRenderSystem_ = false;
    }
    UnregisterInstance();
    // The roots point into this run's install tree; a renderer created later in the process starts
    // from the working directory again, as the first one did, and finds its own tree at its Init.
    SetResourcesRoot("");
    SetEngineDataRoot("");
    SetEffectIncludeRoot("");
    SetIncludeRoot("");
    SetEngineEffectRoot(kDefaultEffectRoot);
}

// ---- Reports

namespace {

std::uint32_t g_resourceReportNumber = 0;
std::uint32_t g_instanceReportNumber = 0;

std::string ReportPath(const char* kind, std::uint32_t number) {
    return std::string("ResInfo\\") + kind + "_" + std::to_string(number) + "_" +
           GetDateTimeString() + ".txt";
}

}  // namespace

void SceneManager::WriteResourceReport() {
    const std::string path = ReportPath("ResInfo", g_resourceReportNumber);
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    Globals* g = Globals::GetExisting();
    const std::vector<CResourceManager*> managers =
        g ? g->GetReportedResourceManagers() : std::vector<CResourceManager*>();
    std::FILE* file = fopen_resolved(path.c_str(), "a+");
    ++g_resourceReportNumber;
    // A missing "ResInfo" directory skips the report silently.
    if (!file)
        return;
    std::fclose(file);
    if (textures)
        textures->DumpResources(path.c_str());
    for (CResourceManager* manager : managers) manager->DumpToFile(path.c_str());
    file = fopen_resolved(path.c_str(), "a+");
    if (!file)
        return;
    std::uint64_t total = 0;
    if (textures)
        total += std::uint64_t(textures->GetUnreferencedTextureBytes()) +
                 textures->GetActiveTextureBytes();
    for (CResourceManager* manager : managers)
        total += std::uint64_t(manager->GetActiveBytes()) + manager->GetGarbageBytes();
    std::fprintf(file, "资源大小 total=%u KB\n", unsigned(total >> 10));
    std::fprintf(file, "%s\n", std::string(68, '*').c_str());
    std::fclose(file);
}

void SceneManager::WriteInstanceReport() {
    const std::string path = ReportPath("Instance", g_instanceReportNumber);
    g_instanceReportNumber += 2;
    std::FILE* file = fopen_resolved(path.c_str(), "w");
    if (!file)
        return;
    std::uint64_t total = 0;
    if (Globals* g = Globals::GetExisting())
        total += g->WriteFactoryReport(file);
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    const std::uint32_t entities = scene ? std::uint32_t(scene->GetEntityCount()) : 0;
    const std::uint64_t entityBytes = std::uint64_t(entities) * Globals::GetEntityObjectSize();
    std::fprintf(file, "SceneManager::EntityList=%u,total=%u\n", entities, unsigned(entityBytes));
    total += entityBytes;
    std::uint32_t vertexBuffers = 0, dynamicVertexBuffers = 0, indexBuffers = 0;
    if (HardwareBufferManager* buffers = Globals::Find(&Globals::GetHardwareBufferManager)) {
        for (const HardwareVertexBuffer* buffer : buffers->GetVertexBuffers()) {
            ++vertexBuffers;
            if (buffer->GetUsage() & BU_DYNAMIC)
                ++dynamicVertexBuffers;
        }
        indexBuffers = std::uint32_t(buffers->GetIndexBuffers().size());
    }
    std::fprintf(file, "TotalVB : %d , TotalDynVB: %d , TotalIB : %d\n", int(vertexBuffers),
                 int(dynamicVertexBuffers), int(indexBuffers));
    // The host wrapper pools report here once the wrappers have pools; until then they hold
    // nothing.
    static constexpr const char* kWrappers[] = {
        "IActionImplRC",        "IActorImplRC",      "IAnimationChannelImplRC",
        "IAnimationImplRC",     "IBillBoardImplRC",  "ICameraImplRC",
        "ILevelImplRC",         "ILightImplRC",      "IMaterialImplRC",
        "IModelImplRC",         "IParticleVBImplRC", "IRenderTargetImplRC",
        "ISkeletonModelImplRC", "ITextureImplRC"};
    for (const char* wrapper : kWrappers) {
        if (std::strcmp(wrapper, "IAnimationChannelImplRC") == 0)
            std::fprintf(file, "%sFactory Used=%u,UnUsed=%u,total=%u\n", wrapper, 0u, 0u, 0u);
        else
            std::fprintf(file, "%sFactory Used=%u, UnUsed=%u,total=%u\n", wrapper, 0u, 0u, 0u);
    }
    threadio::QueueSizes queues;
    if (threadio* worker = threadmng::GetInstance()->GetThread(0))
        queues = worker->GetQueueSizes();
    std::fprintf(file,
                 "creating task: %d , current task: %d , finished task: %d , canceled task: %d , "
                 "poolnum: %d\n",
                 int(queues.submitted), int(queues.active), int(queues.finished),
                 int(queues.cancelled), int(queues.recycled));
    total += std::uint64_t(queues.recycled) * sizeof(itask);
    std::fprintf(file, "实例大小: %u KB\n", unsigned(total >> 10));
    // The host's effect manager appends its own instances before the file closes.
    if (IRenderImpl* render = Globals::Find(&Globals::GetRenderInterface))
        render->ForwardToEffectManager(file);
    std::fclose(file);
}

}  // namespace Zel
