#include "Core/IZelVfsFileStream.h"

#include "Platform/Vfs/Vfs.h"

namespace Zel {

IZelVfsFileStream::IZelVfsFileStream(std::string path) : IZelStream(std::move(path)) {
    file_ = VFS::Hfopen(GetName().c_str(), "rb", nullptr);
    if (!file_)
        return;
    if (file_->GetSize() > 0xFFFFFFFFu) {
        VFS::Hfclose(file_);
        file_ = nullptr;
        return;
    }
    size_ = static_cast<std::uint32_t>(file_->GetSize());
}

IZelVfsFileStream::~IZelVfsFileStream() {
    if (file_)
        VFS::Hfclose(file_);
}

std::uint32_t IZelVfsFileStream::ReadSource(void* buffer, std::uint32_t, std::uint32_t n) {
    if (!file_)
        return 0;
    return static_cast<std::uint32_t>(file_->Read(buffer, 1, n));
}

void IZelVfsFileStream::SeekSource(std::uint32_t position) {
    if (file_)
        file_->Seek(position);
}

}  // namespace Zel
