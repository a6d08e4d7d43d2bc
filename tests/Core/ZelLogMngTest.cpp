#include <gtest/gtest.h>

#include <cctype>
#include <printf.h>

#include <cstdio>
#include <sstream>

#include "Core/DebugHelperImpl.h"
#include "Core/ErrorReport.h"
#include "Core/GlobalConfigManager.h"
#include "Core/ZelLogMng.h"
#include "CoreRootFixture.h"
#include "Platform/Win32/Win32.h"

namespace {

using LogTest = ZelTest::CoreRootTest;

std::vector<std::string> g_boxes;
int RecordBox(HWND, LPCSTR text, LPCSTR caption, UINT) {
    g_boxes.push_back(std::string(caption ? caption : "(default)") + "|" + (text ? text : ""));
    return IDOK;
}

class MessageBoxes {
public:
    MessageBoxes() : previous_(SetMessageBoxSink(&RecordBox)) { g_boxes.clear(); }
    ~MessageBoxes() { SetMessageBoxSink(previous_); }

private:
    MessageBoxSink previous_;
};

// "[ZelDebug:]HH:MM:SS:ThreadID:<id> :<NAME>:".
bool HasRecordPrefix(const std::string& line) {
    std::size_t at = line.rfind("ZelDebug:", 0) == 0 ? 9 : 0;
    auto digits = [&](std::size_t n) {
        for (std::size_t i = 0; i < n; ++i, ++at)
            if (at >= line.size() || !std::isdigit(static_cast<unsigned char>(line[at])))
                return false;
        return true;
    };
    auto literal = [&](const char* text) {
        const std::string t(text);
        if (line.compare(at, t.size(), t) != 0)
            return false;
        at += t.size();
        return true;
    };
    if (!digits(2) || !literal(":") || !digits(2) || !literal(":") || !digits(2) ||
        !literal(":ThreadID:") || !digits(1))
        return false;
    while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at]))) ++at;
    if (!literal(" :"))
        return false;
    const std::size_t nameEnd = line.find(':', at);
    if (nameEnd == std::string::npos || nameEnd == at)
        return false;
    for (std::size_t i = at; i < nameEnd; ++i)
        if (!std::isupper(static_cast<unsigned char>(line[i])) && line[i] != '_')
            return false;
    return true;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST_F(LogTest, RecordsCarryTheirPrefixAndOnlyEnabledTypesAreWritten) {
    Zel::ZelLogMng* log = G()->GetLogManager();
    log->Logf(Zel::LOG_ENGINE_INIT, 1, "engine %d", 1);
    log->Logf(Zel::LOG_MODEL_INFO, 1, "model is off by default");
    log->Logf(Zel::LOG_BEAM_INFO, 1, "beam stays on");
    log->LogLevelf(0, 1, "a warning");
    log->WriteTyped(Zel::LOG_ACTOR_INFO, "actor is off");
    log->WriteLine("plain");
    log->WriteLevel(1, "plain error");
    std::istringstream stream("from a stream");
    log->WriteStream(stream);
    // Types and levels from outside the tables write nothing.
    log->Logf(18, 1, "type 18");
    log->Logf(-1, 1, "type -1");
    log->LogLevelf(2, 1, "level 2");
    log->WriteLevel(-1, "level -1");
    log->WriteTyped(99, "type 99");
    // Mask 2 alone with no console writes nothing.
    log->Logf(Zel::LOG_ENGINE_INIT, 2, "console only");

    const std::vector<std::string> lines = Lines(LogText());
    const std::vector<std::string> expected = {
        ":ENGINE_INIT:engine 1", ":BEAM_INFO:beam stays on", ":WARNING:a warning",
        ":NONE_INFO:plain",      ":ERROR:plain error",       ":NONE_INFO:from a stream",
    };
    ASSERT_EQ(lines.size(), expected.size()) << LogText();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(HasRecordPrefix(lines[i])) << lines[i];
        EXPECT_NE(lines[i].find(expected[i]), std::string::npos) << lines[i];
        EXPECT_EQ(lines[i].rfind("ZelDebug:", 0) == 0, i >= 3) << lines[i];
    }
    EXPECT_FALSE(log->IsTypeEnabled(Zel::LOG_TIME_PROFILE_INFO));
    EXPECT_TRUE(log->IsTypeEnabled(Zel::LOG_VIDEOMEM_INFO));
}

TEST_F(LogTest, LibraryLogsReachTheFileThroughTheDispatch) {
    Zel::LogTyped(Zel::LOG_RESOURCE_INFO, "dispatched %s", "record");
    Zel::LogTyped(Zel::LOG_CLOTH_INFO, "cloth is off");
    Zel::LogWarning("dispatched warning");
    Zel::LogError("dispatched error");
    const std::string text = LogText();
    EXPECT_NE(text.find(":RESOURCE_INFO:dispatched record\n"), std::string::npos);
    EXPECT_EQ(text.find("cloth is off"), std::string::npos);
    EXPECT_NE(text.find("ZelDebug:"), std::string::npos);
    EXPECT_NE(text.find(":WARNING:dispatched warning\n"), std::string::npos);
    EXPECT_NE(text.find(":ERROR:dispatched error\n"), std::string::npos);
    // After shutdown nothing is there to log to, and nothing breaks.
    G()->Shutdown();
    Zel::LogError("after shutdown");
    Zel::ReportErrorLastError("after shutdown");
}

// A printf conversion of our own, "%W" taking an int, that counts how often it is formatted.
int g_formatted = 0;
int PrintCounted(FILE* stream, const printf_info*, const void* const*) {
    ++g_formatted;
    return std::fputs("counted", stream) < 0 ? -1 : 7;
}
int CountedArgInfo(const printf_info*, std::size_t n, int* types, int* sizes) {
    if (n > 0) {
        types[0] = PA_INT;
        sizes[0] = sizeof(int);
    }
    return 1;
}

TEST_F(LogTest, ADisabledTypeIsNeverFormatted) {
    static const bool registered =
        register_printf_specifier('W', PrintCounted, CountedArgInfo) == 0;
    ASSERT_TRUE(registered);
    // Not a literal, so the compiler leaves the conversion it does not know alone.
    const char* counted = "%W";
    ASSERT_FALSE(G()->GetLogManager()->IsTypeEnabled(Zel::LOG_MODEL_INFO));
    g_formatted = 0;
    Zel::LogTyped(Zel::LOG_MODEL_INFO, counted, 1);
    G()->GetLogManager()->Logf(Zel::LOG_MODEL_INFO, 1, counted, 1);
    EXPECT_EQ(g_formatted, 0);
    Zel::LogTyped(Zel::LOG_ENGINE_INIT, counted, 1);
    EXPECT_EQ(g_formatted, 1);
    EXPECT_NE(LogText().find(":ENGINE_INIT:counted\n"), std::string::npos) << LogText();
}

TEST_F(LogTest, TheConsoleOpensWithTheFirstLineWhileSwitch65IsOn) {
    G()->GetConfigManager()->SetValue(65, 1);
    EXPECT_FALSE(HasConsole());
    G()->GetLogManager()->Logf(Zel::LOG_MODEL_INFO, 1, "disabled type allocates nothing");
    EXPECT_FALSE(HasConsole());
    G()->GetLogManager()->Logf(Zel::LOG_ENGINE_INIT, 1, "file only");
    EXPECT_TRUE(HasConsole());
    testing::internal::CaptureStdout();
    G()->GetLogManager()->Logf(Zel::LOG_ENGINE_INIT, 2, "to the console");
    G()->GetLogManager()->Logf(Zel::LOG_ENGINE_INIT, 1, "not to the console");
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_NE(console.find(":ENGINE_INIT:to the console"), std::string::npos);
    EXPECT_EQ(console.find("not to the console"), std::string::npos);
    EXPECT_EQ(LogText().find(":to the console"), std::string::npos);
    G()->Shutdown();
    EXPECT_FALSE(HasConsole());
}

TEST_F(LogTest, ErrorsShowAMessageBoxOnlyWithSwitch82) {
    MessageBoxes boxes;
    Zel::ZelLogMng* log = G()->GetLogManager();
    Zel::DebugHelperImpl* reporter = G()->GetDebugHelper();
    log->LogLevelf(1, 1, "error, switch off");
    reporter->Error("reporter error, switch off");
    EXPECT_TRUE(g_boxes.empty());
    G()->GetConfigManager()->SetValue(82, 1);
    log->LogLevelf(0, 1, "a warning");
    reporter->Warning("reporter warning");
    EXPECT_TRUE(g_boxes.empty());
    log->LogLevelf(1, 1, "error %d", 1);
    reporter->Error("reporter %s", "error");
    SetLastError(ERROR_ACCESS_DENIED);
    reporter->ErrorLastError("with code");
    const std::vector<std::string> expected = {"ERROR|error 1", "ERROR|reporter error",
                                               "ERROR|with code\nErrorCode=5,\nAccess is denied."};
    EXPECT_EQ(g_boxes, expected);
    EXPECT_NE(LogText().find("ZelDebug:"), std::string::npos);
}

TEST_F(LogTest, ReporterMessagesOfAnyLengthArriveWhole) {
    MessageBoxes boxes;
    G()->GetConfigManager()->SetValue(82, 1);
    for (std::size_t length : {1023u, 1024u, 5000u}) {
        const std::string message(length, 'm');
        G()->GetDebugHelper()->Error("%s", message.c_str());
        ASSERT_FALSE(g_boxes.empty());
        EXPECT_EQ(g_boxes.back(), "ERROR|" + message) << length;
        EXPECT_NE(LogText().find(":ERROR:" + message + "\n"), std::string::npos) << length;
    }
}

TEST_F(LogTest, AssertionsAndEnsureFailures) {
    std::string message, location;
    Zel::FormatAssertMessage(message, location, "Engine/Entity/Mesh.cpp", 232, "Zel::Mesh::Build",
                             "%s", "Count > 0");
    EXPECT_EQ(message, "Count > 0");
    EXPECT_EQ(location, "FILE=Engine/Entity/Mesh.cpp,\nLine=232,\nFun=Zel::Mesh::Build");
    const std::string longName(300, 'f');
    Zel::FormatAssertMessage(message, location, "a.cpp", 1, longName.c_str(), "Exp Failed!");
    EXPECT_EQ(location, "FILE=a.cpp,\nLine=1,\nFun=" + longName);

    MessageBoxes boxes;
    Zel::ReportAssert("Count > 0", "FILE=x,\nLine=1,\nFun=f");
    EXPECT_TRUE(g_boxes.empty());
    G()->GetConfigManager()->SetValue(82, 1);
    Zel::ReportAssert("Count > 0", "FILE=x,\nLine=1,\nFun=f", false);
    EXPECT_TRUE(g_boxes.empty());
    Zel::ReportAssert("Count > 0", "FILE=x,\nLine=1,\nFun=f");
    Zel::ReportEnsureFailure("Count > 0", "Engine/Entity/Mesh.cpp", 232);
    const std::vector<std::string> expected = {
        "(default)|Count > 0\nFILE=x,\nLine=1,\nFun=f",
        "ERROR|ensure failed : Count > 0\nEngine/Entity/Mesh.cpp(232)\n"};
    EXPECT_EQ(g_boxes, expected);
    const std::string text = LogText();
    EXPECT_NE(text.find(":ENGINE_INIT:Count > 0\n"), std::string::npos);
    EXPECT_NE(text.find(":ENGINE_INIT:FILE=x,\nLine=1,\nFun=f\n"), std::string::npos);
}

}  // namespace
