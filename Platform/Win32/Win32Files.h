// Files and directories. Every path given here goes through the path resolver (PathResolver.h):
// "\" and "/" both separate, and a component that does not exist as written is matched ignoring
// case.
#pragma once

#include <cstdio>

#include "Platform/Win32/Win32Types.h"

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    char cFileName[MAX_PATH];
};

// Searches a directory: the last component of the pattern is a glob ("*", "?"), matched ignoring
// case; "*.*" matches every name. "." and ".." are reported as on Windows. Answers
// INVALID_HANDLE_VALUE (last error ERROR_FILE_NOT_FOUND) when nothing matches.
HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE search);

// FILE_ATTRIBUTE_READONLY when the owner may not write, FILE_ATTRIBUTE_DIRECTORY for directories,
// FILE_ATTRIBUTE_NORMAL for a plain writable file; INVALID_FILE_ATTRIBUTES when absent.
DWORD GetFileAttributesA(LPCSTR path);
// Only the read-only bit has an effect (it clears or sets the owner's write permission).
BOOL SetFileAttributesA(LPCSTR path, DWORD attributes);
BOOL DeleteFileA(LPCSTR path);
// An existing directory is not an error: TRUE, with the last error set to ERROR_ALREADY_EXISTS.
BOOL CreateDirectoryA(LPCSTR path, void* security);
BOOL RemoveDirectoryA(LPCSTR path);
// Writes the current directory and answers its length (0 on failure; the needed size when the
// buffer is too small).
DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
BOOL SetCurrentDirectoryA(LPCSTR path);
// Bytes free to the caller, total bytes and bytes free on the disk that holds the directory (null:
// the current directory); each output may be null. FALSE when the directory cannot be examined.
BOOL GetDiskFreeSpaceExA(LPCSTR directory, ULARGE_INTEGER* freeToCaller, ULARGE_INTEGER* total,
                         ULARGE_INTEGER* totalFree);
BOOL GetFileTime(LPCSTR path, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);

// The runtime library's calls used by the engine, resolving their path first.
// _access: 0 when the path exists (mode 0) or is accessible as asked, else -1.
int _access(LPCSTR path, int mode);
FILE* fopen_resolved(LPCSTR path, LPCSTR mode);

// The last error code of the calling thread (errno is mapped onto the Windows codes above) and
// its text.
DWORD GetLastError();
void SetLastError(DWORD code);
// Writes the text of an error code into the buffer; answers its length.
DWORD FormatErrorText(DWORD code, LPSTR buffer, DWORD size);
