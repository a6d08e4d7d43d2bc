#include "Core/DebugConsole.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "Core/CommandSystem.h"
#include "Core/ConsoleTerminal.h"
#include "Core/ConsoleTextBuffer.h"
#include "Core/Globals.h"
#include "Core/ZelLogMng.h"
#include "Platform/Win32/Win32Shell.h"

namespace Zel {
namespace {

CommandSystem* Commands() {
    return Globals::Find(&Globals::GetCommandSystem);
}

// Every CR and every LF becomes a CR LF of its own, except that an LF CR pair becomes one.
std::string ToTranscriptLineEnds(std::string_view text, std::size_t limit) {
    std::string converted;
    converted.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size() && converted.size() < limit; ++i) {
        const char c = text[i];
        if (c == '\n' || c == '\r') {
            if (c == '\n' && i + 1 < text.size() && text[i + 1] == '\r')
                ++i;
            converted += "\r\n";
        } else {
            converted += c;
        }
    }
    if (converted.size() > limit)
        converted.resize(limit);
    return converted;
}

}  // namespace

DebugConsole::DebugConsole(ConsoleTextBuffer& buffer) : buffer_(buffer) {
    buffer_.created = false;
}

DebugConsole::~DebugConsole() = default;

void DebugConsole::Create() {
    if (buffer_.created)
        return;
    buffer_.created = true;
    terminal_ = std::make_unique<ConsoleTerminal>(*this);
    buffer_.output = ">";
    buffer_.historyCount = 0;
    buffer_.recallIndex = 0;
    ShowConsole(0);
}

void DebugConsole::Show() {
    if (buffer_.created)
        ShowConsole(1);
}

void DebugConsole::ShowConsole(int mode) {
    if (!terminal_)
        return;
    if (mode == 1)
        buffer_.visible = true;
    if (mode == 0)
        buffer_.visible = false;
}

void DebugConsole::Print(const char* text) {
    if (!buffer_.created || !buffer_.visible || !text)
        return;
    std::string_view view(text);
    if (view.size() > kMaxPrintedText)
        view = view.substr(view.size() - kMaxPrintedText);
    const std::string converted = ToTranscriptLineEnds(view, kMaxConvertedText);
    buffer_.printedChars += static_cast<std::uint32_t>(converted.size());
    if (buffer_.printedChars < kTranscriptLimit) {
        buffer_.output += converted;
    } else {
        buffer_.output = converted;
        buffer_.printedChars = static_cast<std::uint32_t>(converted.size());
    }
    if (terminal_)
        terminal_->Show(converted);
}

void DebugConsole::Printf(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    Print(text);
}

void DebugConsole::Clear() {
    buffer_.output.clear();
}

void DebugConsole::SetInputText(const char* text) {
    buffer_.inputText = text ? text : "";
    if (buffer_.inputText.size() >= kMaxInputLine)
        buffer_.inputText.resize(kMaxInputLine - 1);
}

void DebugConsole::RunLine(const std::string& line) {
    Print(line.c_str());
    if (CommandSystem* commands = Commands())
        commands->ExecuteCommand(line.c_str());
}

void DebugConsole::SubmitInputLine() {
    if (buffer_.inputText.empty())
        return;
    buffer_.history[buffer_.historyCount % ConsoleTextBuffer::kHistorySize] = buffer_.inputText;
    ++buffer_.historyCount;
    buffer_.recallIndex = buffer_.historyCount;
    const std::string line = buffer_.inputText + "\n";
    buffer_.inputText.clear();
    RunLine(line);
}

void DebugConsole::ShowRecalled() {
    buffer_.recallLine = buffer_.history[buffer_.recallIndex % ConsoleTextBuffer::kHistorySize];
    buffer_.inputText = buffer_.recallLine;
}

void DebugConsole::RecallPrevious() {
    if (buffer_.historyCount - buffer_.recallIndex < ConsoleTextBuffer::kHistorySize &&
        buffer_.recallIndex > 0)
        --buffer_.recallIndex;
    ShowRecalled();
}

void DebugConsole::RecallNext() {
    if (buffer_.recallIndex == buffer_.historyCount)
        return;
    ++buffer_.recallIndex;
    ShowRecalled();
}

void DebugConsole::Paste(const char* clipboardText) {
    if (!clipboardText)
        return;
    std::string line(clipboardText);
    if (line.size() > kMaxPastedText)
        line.resize(kMaxPastedText);
    RunLine(line + "\n");
}

void DebugConsole::DropFiles(const std::vector<std::string>& paths) {
    CommandSystem* commands = Commands();
    if (!commands)
        return;
    for (const std::string& path : paths)
        commands->ExecuteCommandFile(path.substr(0, kMaxInputLine).c_str());
}

void DebugConsole::MenuCommand(int id) {
    if (id == kMenuOpenLog) {
        CopyTranscriptToClipboard();
        OpenLogFile();
        return;
    }
    CommandSystem* commands = Commands();
    if (!commands)
        return;
    if (id == kMenuClear) {
        commands->ExecuteCommand("cls");
    } else if (id == kMenuShowCommands) {
        Print("/?\n");
        commands->ExecuteCommand("/?");
    }
}

void DebugConsole::CopyTranscriptToClipboard() {
    const std::string& text = buffer_.output;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (!memory)
        return;
    if (void* bytes = GlobalLock(memory)) {
        std::memcpy(bytes, text.c_str(), text.size() + 1);
        GlobalUnlock(memory);
    }
    if (!OpenClipboard(nullptr)) {
        GlobalFree(memory);
        return;
    }
    EmptyClipboard();
    // The clipboard owns the memory once it took it.
    if (!SetClipboardData(CF_TEXT, memory))
        GlobalFree(memory);
    CloseClipboard();
}

void DebugConsole::OpenLogFile() {
    ZelLogMng* log = Globals::Find(&Globals::GetLogManager);
    if (!log)
        return;
    std::string path = log->GetLogFilePath();
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos)
        path[slash] = '\\';
    ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void DebugConsole::PollTerminal() {
    if (terminal_ && buffer_.visible)
        terminal_->Poll();
}

}  // namespace Zel
