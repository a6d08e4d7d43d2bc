// A DataStream over a file: the virtual file system is asked first (its files are read-only),
// then the disk through standard file I/O and the path resolver. One thread at a time.
#pragma once

#include <cstdio>

#include "Entity/Geometry/DataStream.h"

namespace VFS {
class IFile;
}

namespace Zel {

class FileDataStream : public DataStream {
public:
    FileDataStream() = default;
    ~FileDataStream() override;

    bool Open(int mode, bool text, const std::string& path) override;
    std::size_t Read(void* buffer, std::size_t size) override;
    // A file served by the virtual file system cannot be written: answers 0 and logs.
    std::size_t Write(const void* buffer, std::size_t size) override;
    bool OpenImpl(int mode, bool text) override;
    void Close() override;
    bool IsClosed() const override { return file_ == nullptr; }
    void Skip(std::int64_t n) override;

    const std::string& GetPath() const { return path_; }
    // True while the open file comes from the virtual file system.
    bool IsFromVfs() const { return vfsFile_ != nullptr; }

private:
    std::string path_ = "None";
    // The standard handle; for a virtual file system file, the one that file object owns.
    FILE* file_ = nullptr;
    VFS::IFile* vfsFile_ = nullptr;
};

}  // namespace Zel
