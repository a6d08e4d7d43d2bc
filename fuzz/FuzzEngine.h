// The engine side of the fuzz targets that need Globals: a scratch directory of the process for
// the files a target must put on disk, Globals that logs nowhere, and a software render device.
// A fuzz run executes millions of inputs, and each may log several records: written to a file in
// the working directory (in CI, the checkout) the log grows by hundreds of megabytes in minutes.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "Core/EnginePaths.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/DeviceCaps.h"
#include "Platform/D3D9/D3D9Module.h"
#include "Platform/D3DX9/D3DX9Log.h"
#include "Platform/Vfs/Vfs.h"
#include "Platform/Win32/Win32.h"
#include "Platform/Win32/Win32Window.h"
#include "Render/DisplaySettings.h"
#include "Render/d3d9/RenderDeviceD3D9.h"
#include "fuzz/FuzzSeeds.h"

namespace ZelFuzz {

// A fresh directory under the system's temporary directory, made on first use and removed when
// the process exits normally (a crash leaves it for inspection).
inline const std::filesystem::path& ScratchDir() {
    // Never destroyed, so that the exit handler still finds it.
    static const std::filesystem::path* const dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "zelfuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        const auto* made = new std::filesystem::path(pattern);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchDir(), ignored);
        });
        return made;
    }();
    return *dir;
}

// The path of name inside the scratch directory, as the engine's string paths want it.
inline std::string ScratchPath(const std::string& name) {
    return (ScratchDir() / name).string();
}

inline void WriteScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path path = ScratchDir() / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

inline void WriteScratchFile(const std::string& name, const std::string& text) {
    WriteScratchFile(name, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

inline int SilentMessageBox(HWND, LPCSTR, LPCSTR, UINT) {
    return IDOK;
}

inline void DropLogRecord(int, const char*) {}

inline void DropDebugMessage(const char*) {}

// Globals, built once, with the scratch directory as the data root. The log manager opens its
// file in "<data root>/EngineLog/"; a plain file of that name stands in the way, so no log file is
// opened and every record (typed, warning, error) is dropped. Message boxes, the D3DX layer's
// debug messages and standard output go nowhere.
inline Zel::Globals* QuietGlobals() {
    static Zel::Globals* globals = [] {
        WriteScratchFile("EngineLog", std::string("not a directory"));
        Zel::SetEngineDataRoot(ScratchDir().string() + "/");
        SetMessageBoxSink(&SilentMessageBox);
        D3DXSetDebugSink(&DropDebugMessage);
        // Parsers print their errors on standard output, which the fuzzer's driver keeps.
        SilenceStdout();
        Zel::Globals* g = Zel::Globals::GetSingleton();
        // Records then stop at the dispatch and are not even formatted for the log manager.
        Zel::SetLogHandler(&DropLogRecord);
        return g;
    }();
    return globals;
}

// A windowed 64 x 48 render device on the software Direct3D 9 device, made once for the process
// (with QuietGlobals) and reported to the device caps. A target without it would fuzz nothing, so
// the process ends when it cannot be made.
inline Zel::RenderDeviceD3D9* SoftwareDevice() {
    static Zel::RenderDeviceD3D9* device = []() -> Zel::RenderDeviceD3D9* {
        Zel::Globals* g = QuietGlobals();
        // "d3d9.dll" with every export, as the engine looks it up.
        D3D9Module::Install();
        Zel::DisplaySettings settings;
        settings.window = Win32Window::Create(64, 48);
        settings.width = 64;
        settings.height = 48;
        auto made = std::make_unique<Zel::RenderDeviceD3D9>();
        if (!settings.window || !made->Init(settings)) {
            std::fprintf(stderr, "the software render device cannot be made\n");
            std::abort();
        }
        made->ReportCaps(*g->GetDeviceCaps(), settings);
        // Kept for the life of the process: resources made on it may outlive any scope here.
        return made.release();
    }();
    return device;
}

// Serves bytes under a name through the virtual file system's memory kind for one scope.
class MountedFile {
public:
    MountedFile(std::string name, const std::uint8_t* data, std::size_t size)
        : name_(std::move(name)) {
        VFS::MountMemoryFile(name_, data, size);
    }
    MountedFile(std::string name, const std::string& text)
        : MountedFile(std::move(name), reinterpret_cast<const std::uint8_t*>(text.data()),
                      text.size()) {}
    ~MountedFile() { VFS::UnmountMemoryFile(name_); }
    MountedFile(const MountedFile&) = delete;
    MountedFile& operator=(const MountedFile&) = delete;

private:
    std::string name_;
};

// The input cut in two: a 4-byte little-endian length of the first part, the first part (cut to
// what remains), the rest.
struct TwoParts {
    std::string first, second;
};

inline TwoParts SplitInput(const std::uint8_t* data, std::size_t size) {
    TwoParts parts;
    if (size < 4)
        return parts;
    const std::size_t length = std::size_t(data[0]) | std::size_t(data[1]) << 8 |
                               std::size_t(data[2]) << 16 | std::size_t(data[3]) << 24;
    const std::size_t first = length < size - 4 ? length : size - 4;
    parts.first.assign(reinterpret_cast<const char*>(data + 4), first);
    parts.second.assign(reinterpret_cast<const char*>(data + 4 + first), size - 4 - first);
    return parts;
}

// The seed form of SplitInput, behind a selector byte.
inline std::vector<std::uint8_t> JoinParts(std::uint8_t selector, const std::string& first,
                                           const std::string& second) {
    std::vector<std::uint8_t> out{selector};
    const auto length = static_cast<std::uint32_t>(first.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    out.insert(out.end(), first.begin(), first.end());
    out.insert(out.end(), second.begin(), second.end());
    return out;
}

inline std::vector<std::uint8_t> WithSelector(std::uint8_t selector, const std::string& bytes) {
    std::vector<std::uint8_t> out{selector};
    out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}

}  // namespace ZelFuzz
