// Making streams for a path, and the two small readers that open the binary chunk format. A file
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

// Reads three little-endian 32-bit words (a chunk header: tag, record size, resource word) into
// the three outputs; answers the bytes delivered (12 when all arrived).
std::uint32_t ReadThreeInts(std::uint32_t& first, std::uint32_t& second, std::uint32_t& third,
                            IZelStream* stream);

// Reads a short-string record: u32 flag (0), u32 length n (at most 256, the text bytes with their
// NUL), u32 unused, then n text bytes. The text is the bytes before the first NUL (all n when
// none is NUL). Answers false with an empty string when the flag is not 0, n is above 256 (the
// twelve header bytes stay consumed) or the record runs past the end of the stream.
bool ReadShortString(IZelStream* stream, std::string& text);

}  // namespace Zel
