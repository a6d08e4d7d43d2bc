#include "Platform/Vfs/Vfs.h"

// Placeholder until the VFS kinds land.
namespace VFS {
bool InitVFS(const char*) { return true; }
void ShutdownVFS() {}
bool IsStarted() { return false; }
bool FileExist(const char*) { return false; }
IFile* Hfopen(const char*, const char*, void*) { return nullptr; }
std::size_t Hfread(void*, std::size_t, std::size_t, IFile*) { return 0; }
void Hfclose(IFile*) {}
}  // namespace VFS
