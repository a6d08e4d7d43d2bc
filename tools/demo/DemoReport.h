// What the demo host tells its user: its options, one line per phase with its time, the progress
// of the frame loop, the steps it skipped because the library does not offer them yet, the
// library's ERROR lines sorted into provoked, skipped-step and unexpected ones, and the summary on
// stdout and in summary.txt. Nothing here touches the library.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ZelDemo {

struct DemoOptions {
    std::string library;
    std::filesystem::path out = "out";
    int frames = 300;
    int width = 800;
    int height = 600;
    bool quick = false;
};

// Reads the command line over the defaults in *options. The short run takes 60 frames in a
// 400 x 300 window unless --frames or --size say otherwise. False (with the reason in *error) for
// an unknown option, a missing value or a count or size out of range.
bool ParseDemoOptions(int argc, char** argv, DemoOptions* options, std::string* error);
const char* DemoUsage();

// One line of the library's log at the error level, and what the demo knows of it.
struct ErrorLines {
    std::vector<std::string> provoked;    // lines the demo asked for on purpose
    std::vector<std::string> skipped;     // lines of a step the library does not offer yet
    std::vector<std::string> unexpected;  // every other ERROR line
    int Found() const {
        return static_cast<int>(provoked.size() + skipped.size() + unexpected.size());
    }
};

// Sorts the log's ERROR records: a record holding a text of `provoked` is provoked, one holding a
// text of `skipped` belongs to a skipped step, the rest are unexpected.
ErrorLines SortErrorLines(const std::string& logPath, const std::vector<std::string>& provoked,
                          const std::vector<std::string>& skipped);

// The newest engine log under the working directory's "EngineLog"; empty when there is none.
std::string NewestEngineLog();

// Times of the frame loop: each drawn frame's milliseconds.
struct FrameTimes {
    int drawn = 0;
    double totalMs = 0.0, minMs = 0.0, maxMs = 0.0;
    void Add(double ms);
    double MeanMs() const { return drawn ? totalMs / drawn : 0.0; }
};

// Prints and keeps one line per phase with its time.
class PhaseLog {
public:
    void Begin(const char* name);
    double End(const std::string& outcome);
    // A step inside a phase that the library answered with null or 0: printed, kept for the
    // summary, and the run goes on.
    void Skip(const std::string& step, const std::string& why);
    void Note(const std::string& text);
    const std::vector<std::string>& Lines() const { return lines_; }
    const std::vector<std::string>& Skipped() const { return skipped_; }

private:
    std::string name_;
    std::chrono::steady_clock::time_point start_;
    std::vector<std::string> lines_;
    std::vector<std::string> skipped_;
};

// The frame loop's progress: on a terminal one line redrawn in place; otherwise a plain line
// each time another tenth of the frames is done.
class Progress {
public:
    explicit Progress(int frames);
    void Frame(int index, double frameMs, const FrameTimes& times);
    void Finish();

private:
    int frames_;
    bool terminal_;
    int nextTenth_ = 1;
    std::chrono::steady_clock::time_point start_;
};

struct Summary {
    std::vector<std::string> phases;
    FrameTimes times;
    int pathFrames = 0;
    std::uint32_t drawCalls = 0, primitives = 0;
    struct Resource {
        const char* name;
        std::uint32_t count, bytes;
    };
    std::vector<Resource> resources;
    std::uint32_t heapBytes = 0, textureBytes = 0;
    int tasksQueued = 0, tasksRun = 0;
    std::vector<std::string> images;
    std::vector<std::string> skipped;
    std::vector<std::string> picks;
    std::string log;
    ErrorLines errors;
};

// The summary as text (the same on stdout and in summary.txt).
std::string FormatSummary(const Summary& summary);

}  // namespace ZelDemo
