#include "Platform/Win32/Win32Files.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Platform/Win32/PathResolver.h"
#include "Platform/Win32/Win32Handle.h"

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

DWORD FromErrno(int e) {
    switch (e) {
        case 0: return ERROR_SUCCESS;
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS: return ERROR_ACCESS_DENIED;
        case EEXIST: return ERROR_ALREADY_EXISTS;
        default: return 0x20000000u | static_cast<DWORD>(e);  // customer bit: an errno of its own
    }
}

void SetErrorFromErrno() { t_lastError = FromErrno(errno); }

FILETIME ToFileTime(const timespec& ts) {
    // 100 ns ticks since 1601-01-01.
    const std::uint64_t ticks = (static_cast<std::uint64_t>(ts.tv_sec) + 11644473600ULL) * 10000000ULL +
                                static_cast<std::uint64_t>(ts.tv_nsec) / 100ULL;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

DWORD AttributesOf(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    return (st.st_mode & S_IWUSR) ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

void Fill(WIN32_FIND_DATAA* data, const std::string& name, const struct stat& st) {
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = AttributesOf(st);
    data->ftCreationTime = ToFileTime(st.st_ctim);
    data->ftLastAccessTime = ToFileTime(st.st_atim);
    data->ftLastWriteTime = ToFileTime(st.st_mtim);
    const std::uint64_t size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
    std::strncpy(data->cFileName, name.c_str(), MAX_PATH - 1);
}

struct FindSearch final : Win32Handle::Object {
    std::string directory;
    std::vector<std::string> names;
    std::size_t next = 0;
};

bool NextEntry(FindSearch& search, WIN32_FIND_DATAA* data) {
    while (search.next < search.names.size()) {
        const std::string& name = search.names[search.next++];
        struct stat st;
        const std::string full = search.directory + "/" + name;
        if (::stat(full.c_str(), &st) != 0) continue;  // removed since the listing
        Fill(data, name, st);
        return true;
    }
    return false;
}


}  // namespace

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data) {
    if (!pattern || !data) {
        t_lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    std::string p(pattern);
    for (char& c : p)
        if (c == '\\') c = '/';
    const std::size_t slash = p.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string(".")
                            : slash == 0                ? std::string("/")
                                                        : p.substr(0, slash);
    std::string glob = slash == std::string::npos ? p : p.substr(slash + 1);
    if (glob == "*.*") glob = "*";  // as on Windows, "*.*" also matches names without a dot

    auto search = std::make_shared<FindSearch>();
    search->directory = Win32Path::Resolve(dir);
    DIR* d = ::opendir(search->directory.c_str());
    if (!d) {
        SetErrorFromErrno();
        if (t_lastError == ERROR_FILE_NOT_FOUND) t_lastError = ERROR_PATH_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    while (dirent* e = ::readdir(d)) {
        if (glob.empty() || ::fnmatch(glob.c_str(), e->d_name, FNM_CASEFOLD) == 0)
            search->names.emplace_back(e->d_name);
    }
    ::closedir(d);
    if (!NextEntry(*search, data)) {
        t_lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    return Win32Handle::Publish(std::move(search));
}

BOOL FindNextFileA(HANDLE handle, WIN32_FIND_DATAA* data) {
    auto search = Win32Handle::Get<FindSearch>(handle);
    if (!search || !data) return FALSE;
    if (!NextEntry(*search, data)) {
        t_lastError = ERROR_NO_MORE_FILES;
        return FALSE;
    }
    return TRUE;
}

BOOL FindClose(HANDLE handle) {
    if (!Win32Handle::Get<FindSearch>(handle)) return FALSE;
    return Win32Handle::Close(handle) ? TRUE : FALSE;
}

DWORD GetFileAttributesA(LPCSTR path) {
    if (!path) return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (::stat(Win32Path::Resolve(path).c_str(), &st) != 0) {
        SetErrorFromErrno();
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(st);
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes) {
    if (!path) return FALSE;
    const std::string resolved = Win32Path::Resolve(path);
    struct stat st;
    if (::stat(resolved.c_str(), &st) != 0) {
        SetErrorFromErrno();
        return FALSE;
    }
    mode_t mode = st.st_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    } else {
        mode |= S_IWUSR;
    }
    if (::chmod(resolved.c_str(), mode) != 0) {
        SetErrorFromErrno();
        return FALSE;
    }
    return TRUE;
}

BOOL DeleteFileA(LPCSTR path) {
    if (!path) return FALSE;
    const std::string resolved = Win32Path::Resolve(path);
    struct stat st;
    if (::stat(resolved.c_str(), &st) != 0) {
        SetErrorFromErrno();
        return FALSE;
    }
    // Windows refuses to delete a read-only file or a directory.
    if (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR)) {
        t_lastError = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    if (::unlink(resolved.c_str()) != 0) {
        SetErrorFromErrno();
        return FALSE;
    }
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, void*) {
    if (!path) return FALSE;
    if (::mkdir(Win32Path::Resolve(path).c_str(), 0755) != 0) {
        SetErrorFromErrno();
        return errno == EEXIST ? TRUE : FALSE;
    }
    t_lastError = ERROR_SUCCESS;
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR path) {
    if (!path) return FALSE;
    if (::rmdir(Win32Path::Resolve(path).c_str()) != 0) {
        SetErrorFromErrno();
        return FALSE;
    }
    return TRUE;
}

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
    char cwd[4096];
    if (!::getcwd(cwd, sizeof cwd)) {
        SetErrorFromErrno();
        return 0;
    }
    const DWORD length = static_cast<DWORD>(std::strlen(cwd));
    if (!buffer || bufferLength <= length) return length + 1;
    std::memcpy(buffer, cwd, length + 1);
    return length;
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
    if (!path) return FALSE;
    if (::chdir(Win32Path::Resolve(path).c_str()) != 0) {
        SetErrorFromErrno();
        return FALSE;
    }
    return TRUE;
}

BOOL GetDiskFreeSpaceExA(LPCSTR directory, ULARGE_INTEGER* freeToCaller, ULARGE_INTEGER* total,
                         ULARGE_INTEGER* totalFree) {
    struct statvfs fs;
    const std::string path = directory ? Win32Path::Resolve(directory) : std::string(".");
    if (::statvfs(path.c_str(), &fs) != 0) {
        SetErrorFromErrno();
        return FALSE;
    }
    const ULONGLONG unit = fs.f_frsize ? fs.f_frsize : fs.f_bsize;
    if (freeToCaller) freeToCaller->QuadPart = unit * fs.f_bavail;
    if (total) total->QuadPart = unit * fs.f_blocks;
    if (totalFree) totalFree->QuadPart = unit * fs.f_bfree;
    return TRUE;
}

BOOL GetFileTime(LPCSTR path, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
    if (!path) return FALSE;
    struct stat st;
    if (::stat(Win32Path::Resolve(path).c_str(), &st) != 0) {
        SetErrorFromErrno();
        return FALSE;
    }
    if (creation) *creation = ToFileTime(st.st_ctim);
    if (lastAccess) *lastAccess = ToFileTime(st.st_atim);
    if (lastWrite) *lastWrite = ToFileTime(st.st_mtim);
    return TRUE;
}

int _access(LPCSTR path, int mode) {
    if (!path) return -1;
    int how = F_OK;
    if (mode & 2) how |= W_OK;
    if (mode & 4) how |= R_OK;
    if (::access(Win32Path::Resolve(path).c_str(), how) != 0) {
        SetErrorFromErrno();
        return -1;
    }
    return 0;
}

FILE* fopen_resolved(LPCSTR path, LPCSTR mode) {
    if (!path || !mode) return nullptr;
    FILE* f = std::fopen(Win32Path::Resolve(path).c_str(), mode);
    if (!f) SetErrorFromErrno();
    return f;
}

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }

DWORD FormatErrorText(DWORD code, LPSTR buffer, DWORD size) {
    const char* text;
    switch (code) {
        case ERROR_SUCCESS: text = "The operation completed successfully."; break;
        case ERROR_FILE_NOT_FOUND: text = "The system cannot find the file specified."; break;
        case ERROR_PATH_NOT_FOUND: text = "The system cannot find the path specified."; break;
        case ERROR_ACCESS_DENIED: text = "Access is denied."; break;
        case ERROR_NO_MORE_FILES: text = "There are no more files."; break;
        case ERROR_ALREADY_EXISTS: text = "Cannot create a file when that file already exists."; break;
        default:
            text = (code & 0x20000000u) ? std::strerror(static_cast<int>(code & 0xFFFFu)) : "Unknown error.";
    }
    if (!buffer || size == 0) return 0;
    std::strncpy(buffer, text, size - 1);
    buffer[size - 1] = '\0';
    return static_cast<DWORD>(std::strlen(buffer));
}
