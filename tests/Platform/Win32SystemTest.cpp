#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Platform/Win32/Win32.h"

namespace {

TEST(Win32System, RegistryKeepsValuesPerKeyIgnoringCase) {
    RegClearAll();
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", 0, KEY_READ, &key), 0);
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, &disposition),
              0);
    EXPECT_EQ(disposition, 1u);
    const DWORD value = 3;
    ASSERT_EQ(RegSetValueExA(key, "FlipQueueSize", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&value), sizeof value),
              0);
    RegCloseKey(key);

    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software/test", 0, KEY_READ, &again), 0);
    DWORD type = 0, read = 0, size = sizeof read;
    ASSERT_EQ(RegQueryValueExA(again, "FLIPQUEUESIZE", nullptr, &type,
                               reinterpret_cast<BYTE*>(&read), &size),
              0);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(read, 3u);
    BYTE tooSmall[2];
    size = sizeof tooSmall;
    EXPECT_NE(RegQueryValueExA(again, "FlipQueueSize", nullptr, nullptr, tooSmall, &size), 0);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(RegCloseKey(again), 0);
    EXPECT_NE(RegCloseKey(again), 0);  // a closed handle is refused, not dereferenced
}

std::vector<std::string>* g_boxes = nullptr;
int CaptureBox(HWND, LPCSTR text, LPCSTR caption, UINT) {
    g_boxes->push_back(std::string(caption) + "|" + text);
    return IDOK;
}

TEST(Win32System, MessageBoxesGoToTheInstalledSinkAndNeverBlock) {
    std::vector<std::string> boxes;
    g_boxes = &boxes;
    MessageBoxSink previous = SetMessageBoxSink(&CaptureBox);
    EXPECT_EQ(MessageBoxA(nullptr, "text", "ERROR", MB_OK), IDOK);
    SetMessageBoxSink(previous);
    g_boxes = nullptr;
    EXPECT_EQ(boxes, std::vector<std::string>{"ERROR|text"});
}

void Marker() {}

TEST(Win32System, ModulesLoadNothingButAnswerHandlesAndRegisteredProcs) {
    HMODULE a = LoadLibraryA("D3DCompiler_43.dll");
    HMODULE b = LoadLibraryA("d3dcompiler_43.DLL");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(GetProcAddress(a, "D3DCompile"), nullptr);
    RegisterModuleProc("d3d9.dll", "Direct3DCreate9", &Marker);
    EXPECT_EQ(GetProcAddress(LoadLibraryA("D3D9.dll"), "Direct3DCreate9"), &Marker);
    ClearModuleProcs();
    EXPECT_EQ(GetProcAddress(LoadLibraryA("D3D9.dll"), "Direct3DCreate9"), nullptr);
    EXPECT_TRUE(FreeLibrary(a));
    SetModuleMissing("D3D9.DLL", TRUE);
    EXPECT_EQ(LoadLibraryA("d3d9.dll"), nullptr);
    EXPECT_EQ(GetLastError(), 126u);
    ClearModuleProcs();
    EXPECT_NE(LoadLibraryA("d3d9.dll"), nullptr);
}

TEST(Win32System, MemoryStatusAndMappedRegionsComeFromProc) {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    ASSERT_TRUE(GlobalMemoryStatusEx(&status));
    EXPECT_GT(status.ullTotalPhys, 0u);
    EXPECT_LE(status.ullAvailPhys, status.ullTotalPhys);
    EXPECT_LE(status.dwMemoryLoad, 100u);

    MappedRegion regions[64];
    const DWORD n = GetMappedRegions(regions, 64);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(regions[0].path[0], '/');

    std::vector<char> block(1 << 20, 1);
    EXPECT_GE(GetProcessHeapBusyBytes(), block.size());

    SYSTEM_POWER_STATUS power;
    ASSERT_TRUE(GetSystemPowerStatus(&power));
    EXPECT_TRUE(power.BatteryFlag == 128 || power.BatteryLifePercent <= 100);
}

}  // namespace
