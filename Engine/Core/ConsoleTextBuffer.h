// The debug console's state, owned by Globals (Globals::GetConsoleTextBuffer): the created and
// visible flags, the input line, the transcript, and the ring of the last 256 entered lines with
// the recall position. Host thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Zel {

struct ConsoleTextBuffer {
    static constexpr std::int32_t kHistorySize = 256;

    bool created = false;
    bool visible = false;
    std::string inputText;              // the line being typed, at most 255 characters
    std::string output;                 // the transcript, CR LF line ends
    std::uint32_t printedChars = 0;     // characters printed since the transcript last restarted
    std::string history[kHistorySize];  // line n in slot n mod 256
    std::string recallLine;             // the line last shown by recall
    std::int32_t historyCount = 0;      // lines entered so far (not limited to 256)
    std::int32_t recallIndex = 0;       // the history position shown by recall

    // The entered lines still held, oldest first.
    std::vector<std::string> HistoryOldestFirst() const {
        std::vector<std::string> lines;
        const std::int32_t first = historyCount > kHistorySize ? historyCount - kHistorySize : 0;
        for (std::int32_t n = first; n < historyCount; ++n)
            lines.push_back(history[n % kHistorySize]);
        return lines;
    }
};

}  // namespace Zel
