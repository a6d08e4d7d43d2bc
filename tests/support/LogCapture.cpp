#include "support/LogCapture.h"

#include <cassert>

namespace ZelTest {
namespace {
std::mutex g_mutex;
std::vector<LogRecord>* g_records = nullptr;
}  // namespace

LogCapture::LogCapture() {
    std::lock_guard<std::mutex> lock(g_mutex);
    assert(!g_records && "one LogCapture at a time");
    g_records = new std::vector<LogRecord>();
    previous_ = Zel::SetLogHandler(&LogCapture::Handler);
}

LogCapture::~LogCapture() {
    Zel::SetLogHandler(previous_);
    std::lock_guard<std::mutex> lock(g_mutex);
    delete g_records;
    g_records = nullptr;
}

void LogCapture::Handler(int kind, const char* text) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_records) g_records->push_back({kind, text});
}

std::vector<LogRecord> LogCapture::Records() const {
    std::lock_guard<std::mutex> lock(g_mutex);
    return *g_records;
}

int LogCapture::Count(const std::string& needle) const {
    std::lock_guard<std::mutex> lock(g_mutex);
    int n = 0;
    for (const auto& r : *g_records)
        if (r.text.find(needle) != std::string::npos) ++n;
    return n;
}

int LogCapture::CountKind(int kind, const std::string& needle) const {
    std::lock_guard<std::mutex> lock(g_mutex);
    int n = 0;
    for (const auto& r : *g_records)
        if (r.kind == kind && r.text.find(needle) != std::string::npos) ++n;
    return n;
}

void LogCapture::Clear() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_records->clear();
}

}  // namespace ZelTest
