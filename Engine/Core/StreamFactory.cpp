#include "Core/StreamFactory.h"

#include "Core/IZelFileStream.h"
#include "Core/IZelStdFileStream.h"
#include "Core/IZelVfsFileStream.h"
#include "Core/LogDispatch.h"
#include "Platform/Vfs/Vfs.h"
#include "Platform/Win32/Win32Files.h"

namespace Zel {
namespace {
template <class Stream>
IZelStream* OpenOrNull(const std::string& path) {
    auto* stream = new Stream(path);
    if (stream->IsOpen())
        return stream;
    stream->Release();
    return nullptr;
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

}  // namespace Zel
