#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "Core/OutOfMemoryGuard.h"
#include "Core/SystemReports.h"
#include "Platform/Win32/Win32System.h"
#include "support/LogCapture.h"

namespace {

TEST(SystemReportsTest, BatteryStateFromTheFlag) {
    // (flag, previous, state)
    const int cases[][3] = {
        {255, -1, -1}, {255, 1, 1}, {128, -1, 0}, {128 | 1, -1, 0}, {1, -1, 1},
        {2, 0, 1},     {4, -1, 1},  {8, -1, 1},   {0, -1, -1},      {16, 1, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Zel::BatteryStateFromFlag(static_cast<std::uint8_t>(c[0]), c[1]), c[2])
            << c[0] << " " << c[1];
}

TEST(SystemReportsTest, BatteryAndChassisLines) {
    ZelTest::LogCapture capture;
    Zel::LogBatteryStatus();
    EXPECT_EQ(capture.Count("Computer has no battery.") + capture.Count("Computer has battery.") +
                  capture.Count("Battery status:unknown"),
              1);
    Zel::LogChassisType();
    DWORD types[4];
    EXPECT_EQ(capture.Count("This  computer is "),
              QuerySystemEnclosureChassisTypes(types, 4) ? 1 : 0);
    EXPECT_STREQ(Zel::ChassisTypeName(10), "Notebook");
    EXPECT_STREQ(Zel::ChassisTypeName(1), "Other");
    EXPECT_STREQ(Zel::ChassisTypeName(24), "Sealed-Case PC");
    EXPECT_STREQ(Zel::ChassisTypeName(0), "Unknown");
    EXPECT_STREQ(Zel::ChassisTypeName(25), "Unknown");
}

TEST(SystemReportsTest, RegionLinesAndNames) {
    Zel::MemoryRegionInfo info;
    info.regionBase = 0x10000;
    info.regionStorage = MEM_FREE;
    info.regionSize = 3 * 1024 * 1024;
    const std::string mb = Zel::FormatMemoryRegionLine(info);
    EXPECT_EQ(mb, "0x10000     Free              3.00(Mb)            0            Unknown     ");
    info.regionSize = 1023 * 1024 + 1000;
    EXPECT_NE(Zel::FormatMemoryRegionLine(info).find("1023.00(Kb)"), std::string::npos);
    EXPECT_EQ(Zel::ProtectionName(PAGE_EXECUTE_READ, false), "ER--");
    EXPECT_EQ(Zel::ProtectionName(PAGE_READWRITE | PAGE_GUARD, true), "-RW- G--");
    EXPECT_EQ(Zel::ProtectionName(0, true), "Unknown ---");
    EXPECT_STREQ(Zel::StorageTypeName(MEM_MAPPED), "Mapped ");
}

TEST(SystemReportsTest, TheMemoryMapListsFreeRegionsAndTheLargestOutsideTheReserve) {
    Zel::MemoryRegionInfo first;
    ASSERT_TRUE(Zel::QueryMemoryRegion(nullptr, first));
    EXPECT_EQ(first.regionStorage, static_cast<std::uint32_t>(MEM_FREE));  // page 0 is never mapped

    // A reserve inside the largest free region keeps that region out of the answer.
    ZelTest::LogCapture capture;
    Zel::LogProcessMemoryMap(nullptr, 0);
    const std::vector<ZelTest::LogRecord> plain = capture.Records();
    ASSERT_GE(plain.size(), 7u);
    EXPECT_EQ(plain.front().text, "BeginMemOutput.");
    EXPECT_EQ(plain.back().text, "EndMemOutput");
    const std::string largestBase = plain[plain.size() - 3].text;
    EXPECT_EQ(largestBase.rfind("分配基址:", 0), 0u) << largestBase;
    for (const auto& record : plain) EXPECT_EQ(record.kind, Zel::LOG_RESOURCE_INFO);

    capture.Clear();
    const void* inLargest = reinterpret_cast<const void*>(
        std::strtoull(largestBase.c_str() + std::string("分配基址:").size(), nullptr, 16) + 4096);
    Zel::LogProcessMemoryMap(inLargest, 1024000);
    const std::vector<ZelTest::LogRecord> avoiding = capture.Records();
    EXPECT_NE(avoiding[avoiding.size() - 3].text, largestBase);
    EXPECT_NE(avoiding[1].text.find("1000 KB"), std::string::npos) << avoiding[1].text;
}

// A log handler that tries to run out of memory again while the report is written.
bool g_nestedThrew = false;
void NestedOutOfMemory(int, const char*) {
    try {
        Zel::OutOfMemoryHandler();
    } catch (const std::bad_alloc&) {
        g_nestedThrew = true;
    }
}

TEST(OutOfMemoryGuardTest, TheHandlerGivesTheReserveBackReportsAndFails) {
    Zel::InstallOutOfMemoryGuard();
    const void* reserve = Zel::GetOutOfMemoryReserve();
    ASSERT_NE(reserve, nullptr);
    Zel::InstallOutOfMemoryGuard();  // a second install keeps the block it holds
    EXPECT_EQ(Zel::GetOutOfMemoryReserve(), reserve);
    EXPECT_EQ(std::get_new_handler(), &Zel::OutOfMemoryHandler);
    {
        ZelTest::LogCapture capture;
        EXPECT_THROW(Zel::OutOfMemoryHandler(), std::bad_alloc);
        EXPECT_EQ(Zel::GetOutOfMemoryReserve(), nullptr);
        EXPECT_EQ(capture.CountKind(Zel::LOG_RESOURCE_INFO, "unknown"), 1);
        EXPECT_EQ(capture.CountKind(Zel::LOG_ENGINE_INIT,
                                    "fn=Engine/Render/RenderCore/IRenderImpl.cpp[97]"),
                  1);
        EXPECT_EQ(capture.Count("BeginMemOutput."), 1);
        EXPECT_EQ(capture.Count("EndMemOutput"), 1);
        // A second event frees nothing more and reports again.
        EXPECT_THROW(Zel::OutOfMemoryHandler(), std::bad_alloc);
        EXPECT_EQ(capture.Count("EndMemOutput"), 2);
    }
    Zel::LogHandler previous = Zel::SetLogHandler(&NestedOutOfMemory);
    EXPECT_THROW(Zel::OutOfMemoryHandler(), std::bad_alloc);
    Zel::SetLogHandler(previous);
    EXPECT_TRUE(g_nestedThrew);
    std::set_new_handler(nullptr);
}

}  // namespace
