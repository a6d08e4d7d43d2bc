// The renderer's life as a host sees it, through the exports, each test in a fresh working
// directory: the log directory is pruned and a new log opened, "EngineConfig.txt" runs at window
// creation, records from several threads stay whole, and DeleteRenderer tears everything down.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/ScopedLock.h"
#include "Core/ZelLogMng.h"
#include "Core/locksection.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Interface/IRender.h"
#include "Interface/ZelEngine.h"
#include "demo/DemoDataTree.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class CoreRootIntegrationTest : public ::testing::Test {
protected:
    // The host runs in "bin" below a complete data tree, without "EngineConfig.txt".
    CoreRootIntegrationTest() : dir_(true) {
        std::string error;
        EXPECT_TRUE(ZelDemo::WriteDataTree(dir_.Path(), &error)) << error;
        fs::remove(ZelDemo::WorkingDirectoryOf(dir_.Path()) / "EngineConfig.txt");
        fs::current_path(ZelDemo::WorkingDirectoryOf(dir_.Path()));
    }
    ~CoreRootIntegrationTest() override { Zel::Globals::DeleteSingleton(); }

    static std::string ReadFile(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::stringstream in(text);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // "[ZelDebug:]HH:MM:SS:ThreadID:<id> :<NAME>:" with NAME a type or level name.
    static bool IsRecordStart(const std::string& line) {
        std::size_t at = line.rfind("ZelDebug:", 0) == 0 ? 9 : 0;
        unsigned h, m, s, id;
        char name[32];
        int used = 0;
        if (std::sscanf(line.c_str() + at, "%2u:%2u:%2u:ThreadID:%u :%31[A-Z_]:%n", &h, &m, &s, &id,
                        name, &used) != 5 ||
            used == 0)
            return false;
        static const std::set<std::string> names = {
            "NONE_INFO",       "MODEL_INFO",        "ACTOR_INFO",    "TEXTURE_INFO",
            "MATINS_INFO",     "LPPLIGHT_INFO",     "EFFECT_INFO",   "RENDERTARGET_INFO",
            "POSTEFFECT_INFO", "BEAM_INFO",         "RENDER_INFO",   "GENFX_INFO",
            "CLOTH_INFO",      "ENGINE_INIT",       "RESOURCE_INFO", "VIDEOMEM_INFO",
            "DUMP_LOG_INFO",   "TIME_PROFILE_INFO", "WARNING",       "ERROR"};
        return line[at + 2] == ':' && names.count(name) == 1;
    }

    ZelTest::TempDir dir_;
};

bool IsNewLogName(const std::string& name) {
    unsigned pid, y, mo, d, h, mi, s, ms;
    int used = 0;
    return std::sscanf(name.c_str(), "Engine_%u _%u_%u_%u_%u_%u_%u_%u.log%n", &pid, &y, &mo, &d, &h,
                       &mi, &s, &ms, &used) == 8 &&
           static_cast<std::size_t>(used) == name.size();
}

TEST_F(CoreRootIntegrationTest, TheLogDirectoryKeepsTheFiftyNewestOldFilesAndTheNewLog) {
    const fs::path logs = dir_.Path() / "bin" / "EngineLog";
    const auto now = fs::file_time_type::clock::now();
    std::vector<fs::path> old;
    for (int i = 0; i < 60; ++i) {
        // Every third file lives in a subfolder, every fifth is read-only; i = 0 is the newest.
        const std::string name = "old" + std::to_string(i) + (i % 2 ? ".dmp" : ".log");
        const fs::path path = i % 3 ? logs / name : logs / "crash" / name;
        dir_.Write(fs::relative(path, dir_.Path()).string(), "old");
        fs::last_write_time(path, now - std::chrono::hours(i + 1));
        if (i % 5 == 0)
            ::chmod(path.c_str(), 0444);
        old.push_back(path);
    }
    dir_.Write("bin/EngineLog/notes.txt", "keep me");
    fs::last_write_time(logs / "notes.txt", now - std::chrono::hours(100));

    ASSERT_NE(CreateRenderer(), nullptr);

    for (int i = 0; i < 60; ++i) EXPECT_EQ(fs::exists(old[i]), i < 50) << old[i];
    EXPECT_EQ(ReadFile(logs / "notes.txt"), "keep me");
    std::vector<std::string> newLogs;
    for (const auto& entry : fs::directory_iterator(logs))
        if (entry.path().filename().string().rfind("Engine_", 0) == 0)
            newLogs.push_back(entry.path().filename().string());
    ASSERT_EQ(newLogs.size(), 1u);
    EXPECT_TRUE(IsNewLogName(newLogs[0])) << newLogs[0];
    EXPECT_EQ(newLogs[0].rfind("Engine_" + std::to_string(::getpid()) + " _", 0), 0u);
    EXPECT_EQ(fs::path(Zel::Globals::GetSingleton()->GetLogManager()->GetLogFilePath()),
              fs::path("EngineLog") / newLogs[0]);
    DeleteRenderer();
}

TEST_F(CoreRootIntegrationTest, EngineConfigRunsAtWindowCreation) {
    dir_.Write("bin/EngineConfig.txt",
               "Draw Actor Off\r\n"
               "SET NoSpePartial Effects/Fire;Effects/Ice\r\n"
               "frobnicate everything\r\n"
               "x\r\n"
               "update scene off");
    ZelI::IRender* render = CreateRenderer();
    ASSERT_NE(render, nullptr);
    Zel::GlobalConfigManager* config = Zel::Globals::GetSingleton()->GetConfigManager();
    config->SetValue(16, 0);  // set by the host before the window: lost at the reload

    ZelI::RenderWindowParams params;
    EXPECT_EQ(render->CreateRenderWindow(&params), 100);
    EXPECT_EQ(config->GetValue(15), 0);
    EXPECT_EQ(config->GetValue(24), 0);
    EXPECT_EQ(config->GetValue(16), 1);
    EXPECT_TRUE(config->IsPathBlocked(0, "..\\DATA\\effects\\ice\\a.fx"));
    EXPECT_FALSE(config->IsConfigLoaded());
    EXPECT_EQ(render->GetSystemInfo(), Zel::Globals::GetSingleton()->GetSystemInfo());

    const std::string logPath = Zel::Globals::GetSingleton()->GetLogManager()->GetLogFilePath();
    DeleteRenderer();
    const std::string log = ReadFile(logPath);
    std::size_t errors = 0;
    for (const std::string& line : Lines(log))
        if (IsRecordStart(line) && line.find(" :ERROR:") != std::string::npos)
            ++errors;
    EXPECT_EQ(errors, 1u) << log;
    EXPECT_NE(log.find(":ERROR:加载EngineConfig失败!\nErrorCode="), std::string::npos) << log;
    EXPECT_NE(log.find(":ENGINE_INIT:D3DCompiler_43.dll"), std::string::npos) << log;
}

TEST_F(CoreRootIntegrationTest, WindowCreationStartsWorkerZeroOnceAndTheRendererStopsIt) {
    ZelI::IRender* render = CreateRenderer();
    ZelI::RenderWindowParams params;
    render->CreateRenderWindow(&params);
    Zel::threadio* worker = Zel::threadmng::GetInstance()->GetThread(0);
    ASSERT_NE(worker, nullptr);
    EXPECT_TRUE(worker->IsStarted());
    EXPECT_EQ(worker->GetDriver(), Zel::WorkerDriver::Thread);
    render->CreateRenderWindow(&params);
    EXPECT_EQ(Zel::threadmng::GetInstance()->GetThread(0), worker);
    DeleteRenderer();
    EXPECT_FALSE(worker->IsStarted());
    EXPECT_EQ(worker->GetThreadFlags(), 2);
}

TEST_F(CoreRootIntegrationTest, DeleteRendererInsideTheMainLockStillStopsTheWorkerFirst) {
    ZelI::IRender* render = CreateRenderer();
    ZelI::RenderWindowParams params;
    render->CreateRenderWindow(&params);
    Zel::threadio* worker = Zel::threadmng::GetInstance()->GetThread(0);
    ASSERT_NE(worker, nullptr);
    ASSERT_TRUE(worker->IsStarted());
    const std::string logPath = Zel::Globals::GetSingleton()->GetLogManager()->GetLogFilePath();
    Zel::locksection* mainLock = Zel::threadmng::GetInstance()->GetLock(Zel::threadmng::kMainLock);
    {
        Zel::ScopedLock outer(Zel::threadmng::kMainLock);
        Zel::ScopedLock inner(Zel::threadmng::kMainLock);
        DeleteRenderer();
        // The host's guards hold the lock again, as deep as before.
        EXPECT_TRUE(mainLock->IsHeldByCurrentThread());
        EXPECT_EQ(Zel::ScopedLock::GetNestingCount(Zel::threadmng::kMainLock), 2);
    }
    EXPECT_FALSE(mainLock->IsHeldByCurrentThread());
    EXPECT_FALSE(worker->IsStarted());
    EXPECT_EQ(worker->GetThreadFlags(), 2);
    EXPECT_TRUE(Zel::Globals::GetSingleton()->IsShutDown());
    const std::vector<std::string> lines = Lines(ReadFile(logPath));
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find(":ENGINE_INIT:DeleteRenderer End."), std::string::npos)
        << lines.back();
}

TEST_F(CoreRootIntegrationTest, AMissingEngineConfigLeavesEverySwitchAtItsDefault) {
    ZelI::IRender* render = CreateRenderer();
    Zel::GlobalConfigManager* config = Zel::Globals::GetSingleton()->GetConfigManager();
    config->SetValue(15, 0);
    config->SetBlockedDirs(1, "role");
    ZelI::RenderWindowParams params;
    render->CreateRenderWindow(&params);
    const Zel::GlobalConfigManager defaults;
    // Switch 6 (texture compression) is the device's to choose from its memory once it starts.
    for (std::uint32_t i = 0; i < Zel::GlobalConfigManager::kSwitchCount; ++i)
        if (i != 6) {
            EXPECT_EQ(config->GetValue(i), defaults.GetValue(i)) << i;
        }
    EXPECT_FALSE(config->HasBlockedDirs(1));
    EXPECT_FALSE(config->IsConfigLoaded());
    DeleteRenderer();
}

TEST_F(CoreRootIntegrationTest, RecordsFromTwoThreadsAndTheLastLine) {
    ASSERT_NE(CreateRenderer(), nullptr);
    Zel::ZelLogMng* log = Zel::Globals::GetSingleton()->GetLogManager();
    const std::string logPath = log->GetLogFilePath();
    auto writer = [log](int id) {
        for (int i = 0; i < 200; ++i) {
            log->Logf(Zel::LOG_ENGINE_INIT, 1, "thread %d line %d", id, i);
            log->Logf(Zel::LOG_MODEL_INFO, 1, "disabled %d", i);
            if (i % 50 == 0)
                log->Logf(Zel::LOG_RESOURCE_INFO, 1, "two\nlines %d", id);
        }
    };
    std::thread a(writer, 1), b(writer, 2);
    a.join();
    b.join();

    EXPECT_EQ(DeleteRenderer(), 0);  // no compiler module was loaded
    EXPECT_EQ(DeleteRenderer(), 0);  // a second call is harmless
    EXPECT_EQ(CreateRenderer(), nullptr);

    const std::vector<std::string> lines = Lines(ReadFile(logPath));
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find(":ENGINE_INIT:DeleteRenderer End."), std::string::npos)
        << lines.back();
    std::size_t records = 0, continuations = 0;
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find("disabled"), std::string::npos);
        if (IsRecordStart(line)) {
            ++records;
        } else {
            // Only the line feeds inside a message start a line of their own.
            EXPECT_EQ(line.rfind("lines ", 0), 0u) << line;
            ++continuations;
        }
    }
    EXPECT_EQ(records, 2u * 200u + 2u * 4u + 1u);
    EXPECT_EQ(continuations, 2u * 4u);
}

}  // namespace
