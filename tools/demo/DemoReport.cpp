#include "demo/DemoReport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace ZelDemo {
namespace fs = std::filesystem;

namespace {

bool ParseCount(const char* text, int low, int high, int* out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end || value < low || value > high)
        return false;
    *out = static_cast<int>(value);
    return true;
}

bool ParseSize(const char* text, int* width, int* height) {
    const char* x = std::strchr(text, 'x');
    if (!x)
        return false;
    const std::string w(text, x);
    return ParseCount(w.c_str(), 16, 4096, width) && ParseCount(x + 1, 16, 4096, height);
}

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void Append(std::string& out, const char* format, auto... values) {
    char line[512];
    std::snprintf(line, sizeof(line), format, values...);
    out += line;
}

}  // namespace

const char* DemoUsage() {
    return "usage: zel_demo [--lib path/to/libZelEngine.so] [--out dir] [--frames N] "
           "[--size WxH] [--quick]\n";
}

bool ParseDemoOptions(int argc, char** argv, DemoOptions* options, std::string* error) {
    bool framesGiven = false, sizeGiven = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!std::strcmp(arg, "--quick")) {
            options->quick = true;
            continue;
        }
        if (!value) {
            *error = std::string("no value after ") + arg;
            return false;
        }
        ++i;
        if (!std::strcmp(arg, "--lib")) {
            options->library = value;
        } else if (!std::strcmp(arg, "--out")) {
            options->out = value;
        } else if (!std::strcmp(arg, "--frames")) {
            if (!ParseCount(value, 1, 100000, &options->frames)) {
                *error = std::string("--frames takes a count from 1 to 100000, not ") + value;
                return false;
            }
            framesGiven = true;
        } else if (!std::strcmp(arg, "--size")) {
            if (!ParseSize(value, &options->width, &options->height)) {
                *error = std::string("--size takes WxH (16 to 4096 each), not ") + value;
                return false;
            }
            sizeGiven = true;
        } else {
            *error = std::string("unknown option ") + arg;
            return false;
        }
    }
    if (options->quick) {
        if (!framesGiven)
            options->frames = 60;
        if (!sizeGiven) {
            options->width = 400;
            options->height = 300;
        }
    }
    return true;
}

ErrorLines SortErrorLines(const std::string& logPath, const std::vector<std::string>& provoked,
                          const std::vector<std::string>& skipped) {
    ErrorLines lines;
    std::ifstream in(logPath);
    auto holdsOne = [](const std::string& line, const std::vector<std::string>& texts) {
        return std::any_of(texts.begin(), texts.end(), [&](const std::string& text) {
            return line.find(text) != std::string::npos;
        });
    };
    for (std::string line; std::getline(in, line);) {
        // A record at the error level: " :ERROR:" after its time and thread.
        if (line.find(" :ERROR:") == std::string::npos)
            continue;
        if (holdsOne(line, provoked))
            lines.provoked.push_back(line);
        else if (holdsOne(line, skipped))
            lines.skipped.push_back(line);
        else
            lines.unexpected.push_back(line);
    }
    return lines;
}

std::string NewestEngineLog() {
    std::error_code ec;
    fs::path newest;
    fs::file_time_type newestTime{};
    for (const auto& entry : fs::directory_iterator("EngineLog", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("Engine_", 0) != 0 || entry.path().extension() != ".log")
            continue;
        const auto time = entry.last_write_time(ec);
        if (newest.empty() || time > newestTime) {
            newest = entry.path();
            newestTime = time;
        }
    }
    return newest.empty() ? std::string() : fs::absolute(newest, ec).string();
}

void FrameTimes::Add(double ms) {
    minMs = drawn ? std::min(minMs, ms) : ms;
    maxMs = drawn ? std::max(maxMs, ms) : ms;
    totalMs += ms;
    ++drawn;
}

void PhaseLog::Begin(const char* name) {
    name_ = name;
    start_ = std::chrono::steady_clock::now();
}

double PhaseLog::End(const std::string& outcome) {
    const double ms = MsSince(start_);
    char line[512];
    std::snprintf(line, sizeof(line), "%-16s %9.1f ms  %s", name_.c_str(), ms, outcome.c_str());
    lines_.push_back(line);
    std::printf("zel_demo: %s\n", line);
    std::fflush(stdout);
    return ms;
}

void PhaseLog::Skip(const std::string& step, const std::string& why) {
    skipped_.push_back(step + " (" + why + ")");
    std::printf("zel_demo:   skipped: %s (%s)\n", step.c_str(), why.c_str());
}

void PhaseLog::Note(const std::string& text) {
    std::printf("zel_demo:   %s\n", text.c_str());
}

Progress::Progress(int frames)
    : frames_(frames),
      terminal_(isatty(STDOUT_FILENO) != 0),
      start_(std::chrono::steady_clock::now()) {}

void Progress::Frame(int index, double frameMs, const FrameTimes& times) {
    const int percent = index * 100 / frames_;
    if (!terminal_) {
        if (index * 10 < nextTenth_ * frames_ && index != frames_)
            return;
        while (nextTenth_ * frames_ <= index * 10) ++nextTenth_;
    }
    const double elapsed = MsSince(start_);
    const double left = elapsed / index * (frames_ - index) / 1000.0;
    const double mean = times.MeanMs();
    std::printf("%szel_demo: frame %d/%d %3d%%  %7.1f ms/frame  %6.1f fps  %5.0f s left%s",
                terminal_ ? "\r" : "", index, frames_, percent, frameMs,
                mean > 0.0 ? 1000.0 / mean : 0.0, left, terminal_ ? "" : "\n");
    std::fflush(stdout);
}

void Progress::Finish() {
    if (terminal_)
        std::printf("\n");
}

std::string FormatSummary(const Summary& s) {
    std::string out = "zel_demo: summary\n  phases\n";
    for (const std::string& line : s.phases) out += "    " + line + "\n";
    Append(out, "  frames            %d drawn of a %d-frame path\n", s.times.drawn, s.pathFrames);
    Append(out, "  ms per frame      mean %.2f  min %.2f  max %.2f\n", s.times.MeanMs(),
           s.times.minMs, s.times.maxMs);
    Append(out, "  frames per second %.1f\n",
           s.times.MeanMs() > 0.0 ? 1000.0 / s.times.MeanMs() : 0.0);
    Append(out, "  last frame        %u draw calls, %u primitives\n", s.drawCalls, s.primitives);
    out += "  resources\n";
    for (const Summary::Resource& r : s.resources)
        Append(out, "    %-22s %6u  %10u bytes\n", r.name, r.count, r.bytes);
    Append(out, "    %-22s %6s  %10u bytes\n", "process heap", "", s.heapBytes);
    Append(out, "    %-22s %6s  %10u bytes\n", "texture memory", "", s.textureBytes);
    Append(out, "  tasks             %d queued, %d run\n", s.tasksQueued, s.tasksRun);
    Append(out, "  images written    %zu\n", s.images.size());
    for (const std::string& image : s.images) out += "    " + image + "\n";
    Append(out, "  picking           %zu\n", s.picks.size());
    for (const std::string& pick : s.picks) out += "    " + pick + "\n";
    Append(out, "  steps skipped     %zu\n", s.skipped.size());
    for (const std::string& step : s.skipped) out += "    " + step + "\n";
    out += "  log file          " + (s.log.empty() ? std::string("(none written)") : s.log) + "\n";
    Append(out,
           "  ERROR lines       %d found, %zu provoked, %zu from skipped steps, %zu unexpected\n",
           s.errors.Found(), s.errors.provoked.size(), s.errors.skipped.size(),
           s.errors.unexpected.size());
    for (const std::string& line : s.errors.unexpected) out += "    unexpected: " + line + "\n";
    return out;
}

}  // namespace ZelDemo
