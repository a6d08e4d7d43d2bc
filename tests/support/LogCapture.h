// Captures every log record written while it lives, replacing the installed handler and putting
// it back on destruction. Only one capture may live at a time.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "Core/LogDispatch.h"

namespace ZelTest {

struct LogRecord {
    int kind;
    std::string text;
};

class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogRecord> Records() const;
    // Number of records whose text contains the needle (and whose kind matches, when given).
    int Count(const std::string& needle) const;
    int CountKind(int kind, const std::string& needle) const;
    void Clear();

private:
    static void Handler(int kind, const char* text);
    Zel::LogHandler previous_;
};

}  // namespace ZelTest
