// Path strings and the file system: resource-name normalisation, joining, splitting, image kinds,
// directory listings, deleting and un-protecting files, the current-directory stack. "/" and "\"
// both separate. Nothing here logs; failures answer empty strings, false or 0 as stated.
// Threads: everything works on its arguments only, except the current-directory stack, which
// changes the process-wide current directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Zel {

// The resource name of a requested file: lower-cased (A-Z only), the resources prefix rewritten,
// separators turned into backslashes. D:/Game/Resources/Media/a.DDS gives ..\resources\media\a.dds.
std::string NormalizePath(std::string_view path);
// When the path contains "/resources" (else "\resources"), it becomes ".." followed by the part
// from that occurrence on.
void RewriteResourcesPrefix(std::string& path);
void ToBackslashes(std::string& path);
void ToForwardSlashes(std::string& path);

// The name contains ".." or ":".
bool PathHasParentOrColon(std::string_view name);
// The name contains ".." or "/".
bool PathHasParentOrSlash(std::string_view name);
// The name alone when it names its own place (contains ".." or ":", or starts with "/" or "\");
// otherwise directory + name, no separator added.
std::string JoinPath(std::string_view directory, std::string_view name);
// As JoinPath, with "/" between directory and name; an empty directory (a file named without one
// lies in the working directory) gives the name alone rather than a rooted "/name".
std::string JoinPathWithSlash(std::string_view directory, std::string_view name);
// The path with its extension (from the last "." of the last component on) replaced by the given
// text, which carries its own dot; a path without one gets the text appended. "." and ".." are
// never extensions: ../a/b with .xml gives ../a/b.xml; neither is the dot that starts the path:
// .hidden with .xml gives .hidden.xml.
std::string ReplaceExtension(std::string_view path, std::string_view extension);

// The part after the last separator; the whole path when there is none.
std::string GetFileName(std::string_view path);
// The part before the last separator without trailing separators (a/b//c gives a/b); empty when
// the path has no separator.
std::string GetDirectory(std::string_view path);
// The extension of the last component with its dot (a.b.c gives .c); empty when there is none.
std::string GetExtension(std::string_view path);
bool StringContains(std::string_view text, std::string_view part);
bool StringEquals(std::string_view a, std::string_view b);

// The image type code of the decoders: the first of ".bmp" 0, ".tga" 2, ".png" 3, ".dds" 4,
// ".jpg" 1 found anywhere in the lower-cased path; 6 when none is.
int ImageKindFromPath(std::string_view path);

// The resources root (EnginePaths.h) followed by the name.
std::string MakePathString(std::string_view name);
// The name for index 0; name + "_" + decimal index otherwise; empty for an empty name.
std::string MakeIndexedName(std::string_view name, std::int32_t index);

// Clears the read-only attribute. False for a null path, a path that cannot be read or a
// directory; true when the file is (now) writable.
bool ClearReadOnly(const char* path);
// 0 for a null path; 1 when the file is not on disk or was deleted (read-only or not); 0 when
// the deletion failed.
int DeleteFileIfExists(const char* path);

// The current-directory stack. Push stores the current directory in the buffer (at least
// kDirectoryBufferSize characters) and changes to the directory; answers false (buffer empty,
// directory unchanged) when the current directory does not fit or the change fails. The form
// without a directory changes to the data root (GetEngineDataRoot). Pop changes back; an empty
// buffer does nothing. Not to be interleaved by two threads.
constexpr std::size_t kDirectoryBufferSize = 256;
bool PushCurrentDirectory(char* buffer, const char* directory);
bool PushCurrentDirectory(char* buffer);
void PopCurrentDirectory(const char* buffer);

// Whether the system reports a major version below 6; true when it cannot tell.
bool IsPreVistaWindows();

// Appends directory + name for every entry of the directory ("." and ".." skipped); the directory
// is given with its trailing "/". With recurse, subdirectories are listed (as directory + name +
// "/") in place of being appended.
void ListDirectory(const std::string& directory, std::vector<std::string>& list, bool recurse);
// ListDirectory, keeping only the entries that contain the filter text.
void ListDirectoryFiltered(const std::string& directory, std::vector<std::string>& list,
                           std::string_view filter, bool recurse);
// Every file matching the glob pattern in the root and, recursively, its subdirectories, skipping
// directories whose last name is one of the exclusions. -1 when the list, the root or the pattern
// is missing, else 1.
int FindFilesRecursive(std::vector<std::string>* list, const char* root, const char* pattern,
                       const std::vector<std::string>* exclusions);
// Appends every subdirectory of the directory (each as a path ending in "\", recursively when
// asked) whose last name is not an exclusion; nothing when the directory itself is excluded.
void CollectDirectories(const std::string& directory, std::vector<std::string>& directories,
                        const std::vector<std::string>* exclusions, bool recurse);
// Appends directory + separator + name for every file of the directory matching the glob pattern.
void CollectFiles(const std::string& directory, const std::string& pattern,
                  std::vector<std::string>& list);

}  // namespace Zel
