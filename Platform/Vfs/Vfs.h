// The virtual file system library. Three kinds stand behind it:
//  - null: nothing is mounted, every query answers "absent" and callers fall back to the disk;
//  - memory: bytes mounted under a path (tests);
//  - directory: mounted roots, searched in mount order.
// Names are looked up with "\" and "/" unified, case ignored and a leading "./" dropped. A file
// that the VFS holds wins over a disk file of the same name: callers ask FileExist first.
// Thread safety: every call may be made from any thread.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace VFS {

// A file opened for reading. Close() ends its use and frees it; the object must not be used after.
class IFile {
public:
    // Reads up to count items of size bytes at the position; answers the number of whole items.
    virtual std::size_t Read(void* buffer, std::size_t size, std::size_t count) = 0;
    virtual std::size_t GetSize() const = 0;
    // Moves the position to offset bytes from the start; false when the offset lies past the end.
    virtual bool Seek(std::size_t offset) = 0;
    virtual std::size_t Tell() const = 0;
    // A standard stream for reading the same bytes from the start, owned by the file (closed by
    // Close); null when one cannot be made.
    virtual FILE* GetFilePtr() = 0;
    virtual void Close() = 0;

protected:
    virtual ~IFile() = default;
};

// Starts the library; the log path names its own log file ("./EngineLog/EngineVFS.log").
// A second call while started does nothing and answers true.
bool InitVFS(const char* logPath);
void ShutdownVFS();
bool IsStarted();

bool FileExist(const char* path);
// Opens a file for reading. Null when absent; write modes ("w", "a", "+") answer null so that
// writers fall back to the disk. The third argument is reserved and ignored.
IFile* Hfopen(const char* path, const char* mode, void* reserved);
// Answers the number of whole items read.
std::size_t Hfread(void* buffer, std::size_t size, std::size_t count, IFile* file);
void Hfclose(IFile* file);

// Mounting. The memory kind copies the bytes.
void MountMemoryFile(const std::string& path, std::vector<unsigned char> bytes);
void MountMemoryFile(const std::string& path, const void* data, std::size_t size);
void UnmountMemoryFile(const std::string& path);
// The directory kind: "prefix/name" is served from "root/name" on disk. An empty prefix serves
// every name under the root.
void MountDirectory(const std::string& root, const std::string& prefix = "");
// Removes every mount (back to the null kind).
void UnmountAll();

}  // namespace VFS
