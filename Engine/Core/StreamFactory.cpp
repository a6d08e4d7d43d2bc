#include "Core/StreamFactory.h"

#include <cstring>

#include "Core/IZelFileStream.h"
#include "Core/IZelStdFileStream.h"
#include "Core/IZelVfsFileStream.h"
#include "Core/LogDispatch.h"
#include "Platform/Vfs/Vfs.h"
#include "Platform/Win32/Win32Files.h"

namespace Zel {
namespace {
constexpr std::uint32_t kShortStringMax = 256;

template <class Stream>
IZelStream* OpenOrNull(const std::string& path) {
    auto* stream = new Stream(path);
    if (stream->IsOpen())
        return stream;
    stream->Release();
    return nullptr;
}

std::uint32_t ReadU32(IZelStream* stream, std::uint32_t& value) {
    std::uint8_t b[4];
    const std::uint32_t delivered = stream->Read(b, 4);
    value = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
            static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    return delivered;
}
}  // namespace

IZelFileStream* CreateMemoryFileStream(const std::string& path, std::uint32_t n) {
    auto* stream = new IZelFileStream(path, n);
    if (stream->HasData())
        return stream;
    stream->Release();
    return nullptr;
}

IZelFileStream* LoadFileToMemoryStream(const std::string& path) {
    IZelStream* source = OpenFileStream(path);
    if (!source)
        return nullptr;
    const std::uint32_t size = source->GetSize();
    IZelFileStream* stream = CreateMemoryFileStream(path, size);
    if (stream && source->Read(stream->GetData(), size) != size) {
        LogError("LoadFileToMemoryStream: short read, filename=%s", path.c_str());
        stream->Release();
        stream = nullptr;
    }
    source->Release();
    return stream;
}

IZelFileStream* OpenMemoryStream(const std::string& path) {
    return LoadFileToMemoryStream(path);
}

IZelStream* OpenFileStream(const std::string& path) {
    if (VFS::FileExist(path.c_str()))
        return OpenOrNull<IZelVfsFileStream>(path);
    return OpenOrNull<IZelStdFileStream>(path);
}

bool FileExistsOnDisk(const std::string& path) {
    return _access(path.c_str(), 0) == 0;
}

bool FileExists(const std::string& path) {
    return VFS::FileExist(path.c_str()) || FileExistsOnDisk(path);
}

std::uint32_t ReadThreeInts(std::uint32_t& first, std::uint32_t& second, std::uint32_t& third,
                            IZelStream* stream) {
    std::uint32_t delivered = ReadU32(stream, first);
    delivered += ReadU32(stream, second);
    delivered += ReadU32(stream, third);
    return delivered;
}

bool ReadShortString(IZelStream* stream, std::string& text) {
    text.clear();
    std::uint32_t flag = 0, length = 0, unused = 0;
    if (ReadThreeInts(flag, length, unused, stream) != 12)
        return false;
    if (flag != 0 || length > kShortStringMax)
        return false;
    char buffer[kShortStringMax];
    if (stream->Read(buffer, 1, length) != length)
        return false;
    const void* nul = std::memchr(buffer, '\0', length);
    text.assign(buffer, nul ? static_cast<const char*>(nul) - buffer : length);
    return true;
}

}  // namespace Zel
