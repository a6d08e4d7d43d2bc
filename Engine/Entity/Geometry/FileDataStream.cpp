#include "Entity/Geometry/FileDataStream.h"

#include "Core/LogDispatch.h"
#include "Platform/Vfs/Vfs.h"
#include "Platform/Win32/Win32Files.h"

namespace Zel {

FileDataStream::~FileDataStream() {
    Close();
}

bool FileDataStream::Open(int mode, bool text, const std::string& path) {
    if (!IsClosed())
        Close();
    path_ = path;
    return OpenImpl(mode, text);
}

bool FileDataStream::OpenImpl(int mode, bool text) {
    std::string modeText = mode == DATASTREAM_WRITE ? "w" : mode == DATASTREAM_APPEND ? "a" : "r";
    if (!text)
        modeText += "b";
    vfsFile_ = VFS::Hfopen(path_.c_str(), modeText.c_str(), nullptr);
    if (vfsFile_) {
        file_ = vfsFile_->GetFilePtr();
        if (!file_) {
            VFS::Hfclose(vfsFile_);
            vfsFile_ = nullptr;
            return false;
        }
        size_ = static_cast<std::uint32_t>(vfsFile_->GetSize());
        return true;
    }
    file_ = fopen_resolved(path_.c_str(), modeText.c_str());
    if (!file_)
        return false;
    if (mode == DATASTREAM_READ && std::fseek(file_, 0, SEEK_END) == 0) {
        const long end = std::ftell(file_);
        size_ = end > 0 ? static_cast<std::uint32_t>(end) : 0;
        std::fseek(file_, 0, SEEK_SET);
    }
    return true;
}

std::size_t FileDataStream::Read(void* buffer, std::size_t size) {
    if (!file_ || size == 0)
        return 0;
    return std::fread(buffer, size, 1, file_);
}

std::size_t FileDataStream::Write(const void* buffer, std::size_t size) {
    if (!file_ || size == 0)
        return 0;
    if (vfsFile_) {
        LogError("FileDataStream::Write: %s comes from the virtual file system and is read-only",
                 path_.c_str());
        return 0;
    }
    return std::fwrite(buffer, size, 1, file_);
}

void FileDataStream::Close() {
    if (vfsFile_)
        VFS::Hfclose(vfsFile_);
    else if (file_)
        std::fclose(file_);
    vfsFile_ = nullptr;
    file_ = nullptr;
    size_ = 0;
}

void FileDataStream::Skip(std::int64_t n) {
    if (file_)
        std::fseek(file_, static_cast<long>(n), SEEK_CUR);
}

}  // namespace Zel
