#include "Platform/Vfs/Vfs.h"

#include <sys/stat.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "Platform/Win32/PathResolver.h"

namespace VFS {
namespace {

using Bytes = std::vector<unsigned char>;

struct DirectoryMount {
    std::string root;
    std::string prefix;  // normalised, no trailing "/"
};

struct State {
    std::mutex mutex;
    bool started = false;
    std::string logPath;
    std::unordered_map<std::string, std::shared_ptr<const Bytes>> memory;
    std::vector<DirectoryMount> directories;
};

State& Vfs() {
    // An object, not a heap pointer: it goes with the library when a host unloads it.
    static State s;
    return s;
}

// Lower case, "/" separators, no "./" in front, no doubled separators.
std::string Normalize(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '\\')
            c = '/';
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    while (out.compare(0, 2, "./") == 0) out.erase(0, 2);
    return out;
}

// The disk path that a directory mount gives for the name; empty when no mount serves it.
// Caller holds the mutex.
std::string DiskPathFor(const State& s, const std::string& name) {
    for (const auto& m : s.directories) {
        std::string rest;
        if (m.prefix.empty()) {
            rest = name;
        } else if (name.size() > m.prefix.size() &&
                   name.compare(0, m.prefix.size(), m.prefix) == 0 &&
                   name[m.prefix.size()] == '/') {
            rest = name.substr(m.prefix.size() + 1);
        } else {
            continue;
        }
        std::string candidate = Win32Path::Resolve(m.root + "/" + rest);
        struct stat st;
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            return candidate;
    }
    return {};
}

class MemoryFile final : public IFile {
public:
    explicit MemoryFile(std::shared_ptr<const Bytes> bytes) : bytes_(std::move(bytes)) {}

    std::size_t Read(void* buffer, std::size_t size, std::size_t count) override {
        if (!buffer || size == 0 || count == 0)
            return 0;
        const std::size_t available = bytes_->size() - position_;
        const std::size_t items = std::min(count, available / size);
        std::memcpy(buffer, bytes_->data() + position_, items * size);
        position_ += items * size;
        return items;
    }

    std::size_t GetSize() const override { return bytes_->size(); }

    bool Seek(std::size_t offset) override {
        if (offset > bytes_->size())
            return false;
        position_ = offset;
        return true;
    }

    std::size_t Tell() const override { return position_; }

    FILE* GetFilePtr() override {
        if (!stream_ && !bytes_->empty())
            stream_ = ::fmemopen(const_cast<unsigned char*>(bytes_->data()), bytes_->size(), "rb");
        return stream_;
    }

    void Close() override { delete this; }

private:
    ~MemoryFile() override {
        if (stream_)
            std::fclose(stream_);
    }

    std::shared_ptr<const Bytes> bytes_;
    std::size_t position_ = 0;
    FILE* stream_ = nullptr;
};

}  // namespace

bool InitVFS(const char* logPath) {
    State& s = Vfs();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.started)
        return true;
    s.started = true;
    s.logPath = logPath ? logPath : "";
    if (!s.logPath.empty()) {
        std::ofstream log(Win32Path::Resolve(s.logPath), std::ios::app);
        if (log)
            log << "VFS started\n";
    }
    return true;
}

void ShutdownVFS() {
    State& s = Vfs();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.started)
        return;
    s.started = false;
    if (!s.logPath.empty()) {
        std::ofstream log(Win32Path::Resolve(s.logPath), std::ios::app);
        if (log)
            log << "VFS stopped\n";
    }
}

bool IsStarted() {
    State& s = Vfs();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.started;
}

bool FileExist(const char* path) {
    if (!path || !*path)
        return false;
    const std::string name = Normalize(path);
    State& s = Vfs();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.memory.count(name) != 0 || !DiskPathFor(s, name).empty();
}

IFile* Hfopen(const char* path, const char* mode, void*) {
    if (!path || !*path)
        return nullptr;
    if (mode && std::strpbrk(mode, "wa+"))
        return nullptr;
    const std::string name = Normalize(path);
    State& s = Vfs();
    std::shared_ptr<const Bytes> bytes;
    std::string disk;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        auto it = s.memory.find(name);
        if (it != s.memory.end()) {
            bytes = it->second;
        } else {
            disk = DiskPathFor(s, name);
        }
    }
    if (!bytes) {
        if (disk.empty())
            return nullptr;
        std::ifstream in(disk, std::ios::binary);
        if (!in)
            return nullptr;
        bytes = std::make_shared<const Bytes>(std::istreambuf_iterator<char>(in),
                                              std::istreambuf_iterator<char>());
    }
    return new MemoryFile(std::move(bytes));
}

std::size_t Hfread(void* buffer, std::size_t size, std::size_t count, IFile* file) {
    return file ? file->Read(buffer, size, count) : 0;
}

void Hfclose(IFile* file) {
    if (file)
        file->Close();
}

void MountMemoryFile(const std::string& path, std::vector<unsigned char> bytes) {
    State& s = Vfs();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.memory[Normalize(path)] = std::make_shared<const Bytes>(std::move(bytes));
}

void MountMemoryFile(const std::string& path, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    MountMemoryFile(path, Bytes(p, p + size));
}

void UnmountMemoryFile(const std::string& path) {
    State& s = Vfs();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.memory.erase(Normalize(path));
}

void MountDirectory(const std::string& root, const std::string& prefix) {
    State& s = Vfs();
    std::lock_guard<std::mutex> lock(s.mutex);
    std::string p = Normalize(prefix);
    while (!p.empty() && p.back() == '/') p.pop_back();
    s.directories.push_back({root, p});
}

void UnmountAll() {
    State& s = Vfs();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.memory.clear();
    s.directories.clear();
}

}  // namespace VFS
