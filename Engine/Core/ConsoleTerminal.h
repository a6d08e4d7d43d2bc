// The debug console's terminal front end: standard output shows what the console prints, and
// lines typed on standard input are entered into the console. Polled on the host's thread; it
// never waits for input.
#pragma once

#include <string>
#include <string_view>

#include "Platform/Win32/Win32Types.h"

namespace Zel {

class DebugConsole;

class ConsoleTerminal {
public:
    explicit ConsoleTerminal(DebugConsole& console);
    ConsoleTerminal(const ConsoleTerminal&) = delete;
    ConsoleTerminal& operator=(const ConsoleTerminal&) = delete;

    // Reads what standard input holds and feeds it.
    void Poll();
    // Enters every complete line of the text (a partial last line waits for the rest); "\r"
    // before a line feed is dropped.
    void Feed(std::string_view text);
    // Shows converted console text (CR LF) on standard output with plain line feeds.
    void Show(std::string_view text);

private:
    DebugConsole& console_;
    HANDLE input_;
    HANDLE output_;
    std::string pending_;
};

}  // namespace Zel
