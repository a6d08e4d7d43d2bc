// The debug console (Globals::GetDebugConsole): a developer types command lines for the command
// system, reads their transcript, recalls earlier lines, pastes a command, drops command files and
// clears the screen. Its state is the ConsoleTextBuffer of Globals.
//
// There is no window here: the console is a model of one (transcript, input line, history ring
// and recall, the text limits, the visible flag) driven through the calls below, with a terminal
// front end (ConsoleTerminal) that the host's thread polls: what the console prints goes to
// standard output while it is visible, and lines typed on standard input are entered.
//
// Threads: the host's thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Interface/IDebugConsole.h"

namespace Zel {

class ConsoleTerminal;
struct ConsoleTextBuffer;

class DebugConsole final : public ZelI::IDebugConsole {
public:
    // Menu commands of the console.
    static constexpr int kMenuOpenLog = 202;
    static constexpr int kMenuShowCommands = 203;
    static constexpr int kMenuClear = 204;
    // Longest printed text kept (its end) and longest converted text.
    static constexpr std::size_t kMaxPrintedText = 16383;
    static constexpr std::size_t kMaxConvertedText = 32767;
    // Printed characters after which the transcript restarts with the new text.
    static constexpr std::uint32_t kTranscriptLimit = 28673;
    static constexpr std::size_t kMaxInputLine = 256;
    static constexpr std::size_t kMaxPastedText = 2046;

    // Clears the created flag of the buffer (not owned; it outlives the console).
    explicit DebugConsole(ConsoleTextBuffer& buffer);
    ~DebugConsole();
    DebugConsole(const DebugConsole&) = delete;
    DebugConsole& operator=(const DebugConsole&) = delete;

    // Once: the transcript starts as ">", the history empties, the console stays hidden and the
    // terminal front end is attached.
    void Create() override;
    void Show() override;
    // 1 shows, 0 hides, 2 minimises (visible unchanged); nothing before Create.
    void ShowConsole(int mode);

    // Appends to the transcript while the console is created and visible; dropped otherwise.
    // Line ends become CR LF (an LF CR pair becomes one CR LF); a text longer than 16383 keeps its
    // end; once 28673 characters have been printed the transcript restarts with the text.
    void Print(const char* text);
    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Clear();

    // What the input line holds (cut to 255 characters).
    void SetInputText(const char* text);
    // Enter: the input line goes into the history, is printed and runs; an empty line does
    // nothing.
    void SubmitInputLine();
    // Up and down arrows: walk the history (the last 256 lines) and show the line in the input.
    void RecallPrevious();
    void RecallNext();
    // A pasted text (at most 2046 characters) runs as a line; it does not enter the history.
    void Paste(const char* clipboardText);
    // Each dropped file runs as a command file, in order.
    void DropFiles(const std::vector<std::string>& paths);
    // 202 copies the transcript to the clipboard and opens the log file with the shell's "open"
    // verb (its last "/" turned into "\\"); 203 prints and runs "/?"; 204 runs "cls".
    void MenuCommand(int id);
    // The close button hides the console; it is never destroyed.
    void Close() { ShowConsole(0); }

    // Enters every complete line typed on the terminal since the last poll, without waiting.
    void PollTerminal();

    const ConsoleTextBuffer& GetBuffer() const { return buffer_; }

private:
    void RunLine(const std::string& line);
    void CopyTranscriptToClipboard();
    void OpenLogFile();
    void ShowRecalled();

    ConsoleTextBuffer& buffer_;
    std::unique_ptr<ConsoleTerminal> terminal_;
};

}  // namespace Zel
