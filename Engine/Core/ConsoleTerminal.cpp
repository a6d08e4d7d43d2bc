#include "Core/ConsoleTerminal.h"

#include "Core/DebugConsole.h"
#include "Platform/Win32/Win32System.h"

namespace Zel {

ConsoleTerminal::ConsoleTerminal(DebugConsole& console)
    : console_(console),
      input_(GetStdHandle(STD_INPUT_HANDLE)),
      output_(GetStdHandle(STD_OUTPUT_HANDLE)) {}

void ConsoleTerminal::Poll() {
    DWORD available = 0;
    if (!GetNumberOfConsoleInputEvents(input_, &available) || available == 0)
        return;
    std::string bytes(available, '\0');
    DWORD read = 0;
    if (!ReadConsoleA(input_, bytes.data(), available, &read, nullptr))
        return;
    bytes.resize(read);
    Feed(bytes);
}

void ConsoleTerminal::Feed(std::string_view text) {
    pending_.append(text);
    std::size_t newline;
    while ((newline = pending_.find('\n')) != std::string::npos) {
        std::string line = pending_.substr(0, newline);
        pending_.erase(0, newline + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        console_.SetInputText(line.c_str());
        console_.SubmitInputLine();
    }
}

void ConsoleTerminal::Show(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            plain += text[i];
    DWORD written = 0;
    WriteConsoleA(output_, plain.data(), static_cast<DWORD>(plain.size()), &written, nullptr);
}

}  // namespace Zel
