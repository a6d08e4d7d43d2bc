// Making streams for a path. A file
// that the virtual file system reports is read through it; any other from disk (through the path
// resolver). Paths use "\" or "/". Any thread; each stream is then used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>

namespace Zel {

class IZelStream;
class IZelFileStream;

// A memory stream named by the path with an unset buffer of n bytes; null when the buffer cannot
// be allocated. The caller releases it.
IZelFileStream* CreateMemoryFileStream(const std::string& path, std::uint32_t n);
// The whole file read into a memory stream; null when it cannot be opened or read whole.
IZelFileStream* LoadFileToMemoryStream(const std::string& path);
IZelFileStream* OpenMemoryStream(const std::string& path);
// A stream over the virtual file system when it has the path, else over the disk file; null when
// the file cannot be opened.
IZelStream* OpenFileStream(const std::string& path);

bool FileExistsOnDisk(const std::string& path);
// The virtual file system or the disk has the file.
bool FileExists(const std::string& path);

}  // namespace Zel
