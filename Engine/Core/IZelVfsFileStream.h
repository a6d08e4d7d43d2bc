// A stream over a file of the virtual file system.
#pragma once

#include <cstdint>

#include "Core/IZelStream.h"

namespace VFS {
class IFile;
}

namespace Zel {

class IZelVfsFileStream : public IZelStream {
public:
    // Opens the file with VFS::Hfopen (path, "rb"). When the file system cannot open it (or it is
    // 4 GiB or larger) the stream is failed: size 0, every read delivers nothing.
    explicit IZelVfsFileStream(std::string path);
    ~IZelVfsFileStream() override;

    std::uint32_t GetSize() const override { return size_; }
    bool IsOpen() const { return file_ != nullptr; }

protected:
    std::uint32_t ReadSource(void* buffer, std::uint32_t position, std::uint32_t n) override;
    void SeekSource(std::uint32_t position) override;

private:
    VFS::IFile* file_ = nullptr;
    std::uint32_t size_ = 0;
};

}  // namespace Zel
