#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Core/ConsoleTerminal.h"
#include "Core/ConsoleTextBuffer.h"
#include "Core/DebugConsole.h"
#include "Core/GlobalConfigManager.h"
#include "Core/ZelLogMng.h"
#include "CoreRootFixture.h"
#include "Platform/Win32/Win32Shell.h"

namespace {

class DebugConsoleTest : public ZelTest::CoreRootTest {
protected:
    Zel::DebugConsole& Console() { return *G()->GetDebugConsole(); }
    const Zel::ConsoleTextBuffer& Buffer() { return *G()->GetConsoleTextBuffer(); }
    void Open() {
        Console().Create();
        Console().Show();
    }
};

TEST_F(DebugConsoleTest, PrintingNeedsACreatedVisibleConsoleAndIsNotKeptOtherwise) {
    Console().Show();  // not created: nothing
    Console().Print("early");
    EXPECT_FALSE(Buffer().visible);
    Console().Create();
    EXPECT_EQ(Buffer().output, ">");
    Console().Print("hidden");
    Console().Show();
    Console().Print("shown");
    EXPECT_EQ(Buffer().output, ">shown");
    Console().Close();
    EXPECT_FALSE(Buffer().visible);
    Console().Print("closed");
    Console().Show();
    EXPECT_EQ(Buffer().output, ">shown");
    Console().ShowConsole(2);
    EXPECT_TRUE(Buffer().visible);
}

TEST_F(DebugConsoleTest, LineEndsBecomeCarriageReturnLineFeed) {
    Open();
    Console().Clear();
    const std::pair<const char*, const char*> cases[] = {
        {"a\r\nb", "a\r\n\r\nb"},  // CR LF gives two line breaks
        {"a\n\rb", "a\r\nb"},      // LF CR gives one
        {"a\nb\rc", "a\r\nb\r\nc"},
    };
    for (auto [text, converted] : cases) {
        Console().Clear();
        Console().Print(text);
        EXPECT_EQ(Buffer().output, converted) << text;
    }
}

TEST_F(DebugConsoleTest, TheTranscriptRestartsOnceTheCountReachesItsLimit) {
    Open();
    const std::string block(10000, 'x');
    Console().Print(block.c_str());
    Console().Print(block.c_str());
    EXPECT_EQ(Buffer().output.size(), 1u + 20000u);
    Console().Print(block.c_str());  // 30000 printed: the transcript restarts with this text
    EXPECT_EQ(Buffer().output, block);
    EXPECT_EQ(Buffer().printedChars, 10000u);
    // A text longer than 16383 keeps its end.
    const std::string tail = "END";
    Console().Print((std::string(20000, 'y') + tail).c_str());
    EXPECT_EQ(Buffer().printedChars, 10000u + 16383u);
    EXPECT_EQ(Buffer().output.substr(Buffer().output.size() - 3), tail);
}

TEST_F(DebugConsoleTest, RecallWalksTheLastLinesAndStopsAtTheOldest) {
    Open();
    for (int i = 0; i < 300; ++i) {
        Console().SetInputText(("draw actor " + std::to_string(i)).c_str());
        Console().SubmitInputLine();
    }
    Console().RecallNext();  // at the newest: nothing changes
    EXPECT_EQ(Buffer().recallIndex, 300);
    Console().RecallPrevious();
    EXPECT_EQ(Buffer().inputText, "draw actor 299");
    for (int i = 0; i < 400; ++i) Console().RecallPrevious();
    EXPECT_EQ(Buffer().inputText, "draw actor 44");
    Console().RecallNext();
    EXPECT_EQ(Buffer().inputText, "draw actor 45");
}

TEST_F(DebugConsoleTest, TypedLinesEnterTheHistoryPastedOnesDoNot) {
    Open();
    Console().SetInputText("");
    Console().SubmitInputLine();
    EXPECT_EQ(Buffer().historyCount, 0);
    Console().Paste("draw actor off");
    EXPECT_EQ(G()->GetConfigManager()->GetValue(15), 0);
    EXPECT_EQ(Buffer().historyCount, 0);
    Console().SetInputText("draw actor on");
    Console().SubmitInputLine();
    EXPECT_EQ(Buffer().historyCount, 1);
    EXPECT_TRUE(Buffer().inputText.empty());
    EXPECT_EQ(G()->GetConfigManager()->GetValue(15), 1);
    EXPECT_NE(Buffer().output.find("draw actor on\r\n sucess! \r\n>"), std::string::npos);
    // A single character typed at the console is a line like any other: not recognised.
    Console().SetInputText("x");
    Console().SubmitInputLine();
    EXPECT_NE(Buffer().output.find("x\r\n command not recognised"), std::string::npos);
    Console().SetInputText(std::string(400, 'a').c_str());
    EXPECT_EQ(Buffer().inputText.size(), 255u);
}

TEST_F(DebugConsoleTest, MenuDroppedFilesAndTheTerminalRunCommands) {
    Open();
    dir_.Write("dropped.txt", "draw model off\n");
    Console().DropFiles({"dropped.txt"});
    EXPECT_EQ(G()->GetConfigManager()->GetValue(18), 0);
    Console().MenuCommand(Zel::DebugConsole::kMenuShowCommands);
    EXPECT_NE(Buffer().output.find("/?\r\ndraw\r\n"), std::string::npos);
    Console().MenuCommand(Zel::DebugConsole::kMenuClear);
    EXPECT_EQ(Buffer().output, " sucess! \r\n>");

    testing::internal::CaptureStdout();
    Zel::ConsoleTerminal terminal(Console());
    terminal.Feed("draw level off\r\nupdate sc");
    EXPECT_EQ(G()->GetConfigManager()->GetValue(9), 0);
    EXPECT_EQ(G()->GetConfigManager()->GetValue(24), 1);
    terminal.Feed("ene off\n");
    const std::string shown = testing::internal::GetCapturedStdout();
    EXPECT_EQ(G()->GetConfigManager()->GetValue(24), 0);
    EXPECT_EQ(Buffer().historyCount, 2);
    EXPECT_NE(shown.find("update scene off\n sucess! \n>"), std::string::npos) << shown;
}

// What the console handed to the shell.
std::vector<std::string> g_opened;
HINSTANCE RecordOpen(HWND, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                     INT show) {
    g_opened.push_back(std::string(verb ? verb : "(null)") + "|" + (file ? file : "(null)") + "|" +
                       (parameters ? parameters : "(null)") + "|" +
                       (directory ? directory : "(null)") + "|" + std::to_string(show));
    return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(42));
}

std::string ClipboardText() {
    if (!OpenClipboard(nullptr))
        return "(clipboard busy)";
    std::string text;
    if (HANDLE memory = GetClipboardData(CF_TEXT))
        text.assign(static_cast<const char*>(GlobalLock(memory)));
    CloseClipboard();
    return text;
}

TEST_F(DebugConsoleTest, OpenLogCopiesTheTranscriptAndOpensTheLogFileThroughTheShell) {
    const ShellExecuteSink previous = SetShellExecuteSink(&RecordOpen);
    g_opened.clear();
    Open();
    Console().Print("draw actor off\n");
    Console().MenuCommand(Zel::DebugConsole::kMenuOpenLog);
    SetShellExecuteSink(previous);

    EXPECT_EQ(ClipboardText(), ">draw actor off\r\n");
    std::string path = G()->GetLogManager()->GetLogFilePath();
    ASSERT_EQ(path.rfind("EngineLog/", 0), 0u) << path;
    path[path.rfind('/')] = '\\';
    EXPECT_EQ(g_opened, (std::vector<std::string>{"open|" + path + "|(null)|(null)|1"}));
}

}  // namespace
