#include "Core/IZelStdFileStream.h"

#include "Platform/Win32/Win32Files.h"

namespace Zel {

IZelStdFileStream::IZelStdFileStream(std::string path) : IZelStream(std::move(path)) {
    file_ = fopen_resolved(GetName().c_str(), "rb");
    if (!file_)
        return;
    long size = -1;
    if (std::fseek(file_, 0, SEEK_END) == 0)
        size = std::ftell(file_);
    if (size < 0 || static_cast<unsigned long>(size) > 0xFFFFFFFFul ||
        std::fseek(file_, 0, SEEK_SET) != 0) {
        std::fclose(file_);
        file_ = nullptr;
        return;
    }
    size_ = static_cast<std::uint32_t>(size);
}

IZelStdFileStream::~IZelStdFileStream() {
    if (file_)
        std::fclose(file_);
}

std::uint32_t IZelStdFileStream::ReadSource(void* buffer, std::uint32_t, std::uint32_t n) {
    if (!file_)
        return 0;
    return static_cast<std::uint32_t>(std::fread(buffer, 1, n, file_));
}

void IZelStdFileStream::SeekSource(std::uint32_t position) {
    if (file_)
        std::fseek(file_, static_cast<long>(position), SEEK_SET);
}

}  // namespace Zel
