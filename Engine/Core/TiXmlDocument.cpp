#include "Core/TiXmlDocument.h"

#include <cstdio>
#include <cstring>

#include "Platform/Vfs/Vfs.h"
#include "Platform/Win32/Win32Files.h"

namespace Zel {
namespace {

constexpr std::size_t kDiskReadChunk = 64 * 1024;

void PrintParseError(const char* what) {
    std::printf("rapidXml Error:%s \n", what);
    std::fflush(stdout);
}

// Skips to the character after the end marker; to the terminating NUL when there is none.
// (A search that looks no further than the marker: the whole text may hold many markers.)
const char* SkipPast(const char* p, const char* end) {
    const std::size_t length = std::strlen(end);
    for (; *p; ++p) {
        if (*p == end[0] && std::strncmp(p, end, length) == 0)
            return p + length;
    }
    return p;
}

// How deep elements nest, following the parse's grammar closely enough that no file nests
// deeper than this says: comments, CDATA, processing instructions and declarations hold no
// elements, and a quoted attribute value may hold "/>" or ">".
int ElementNestingDepth(const char* text) {
    int depth = 0;
    int deepest = 0;
    const char* p = text;
    while (*p) {
        if (*p != '<') {
            ++p;
            continue;
        }
        if (std::strncmp(p, "<!--", 4) == 0) {
            p = SkipPast(p + 4, "-->");
        } else if (std::strncmp(p, "<![CDATA[", 9) == 0) {
            p = SkipPast(p + 9, "]]>");
        } else if (p[1] == '?') {
            p = SkipPast(p + 2, "?>");
        } else if (p[1] == '!') {
            p = SkipPast(p + 2, ">");
        } else if (p[1] == '/') {
            if (depth > 0)
                --depth;
            p = SkipPast(p + 2, ">");
        } else {
            char quote = 0;
            const char* q = p + 1;
            for (; *q && (quote || *q != '>'); ++q) {
                if (quote) {
                    if (*q == quote)
                        quote = 0;
                } else if (*q == '"' || *q == '\'') {
                    quote = *q;
                }
            }
            const bool empty = *q == '>' && q[-1] == '/';
            if (!empty && ++depth > deepest)
                deepest = depth;
            p = *q ? q + 1 : q;
        }
    }
    return deepest;
}

}  // namespace

bool TiXmlDocument::ParseText(char* text) {
    if (ElementNestingDepth(text) > kMaxNestingDepth) {
        remove_all_nodes();
        remove_all_attributes();
        PrintParseError("elements nested too deep");
        return false;
    }
    // The parse reports a syntax error by throwing; the error never leaves this function.
    try {
        parse<rapidxml::parse_default>(text);
    } catch (const rapidxml::parse_error& error) {
        PrintParseError(error.what());
        return false;
    }
    return true;
}

int TiXmlDocument::Parse(char* text) {
    if (text)
        ParseText(text);
    return 0;
}

bool TiXmlDocument::ParseFileBytes(std::vector<char> bytes) {
    // The old tree points into the old buffer; the parse detaches it before anything reads it.
    buffer_ = std::move(bytes);
    buffer_.push_back('\0');
    return ParseText(buffer_.data());
}

bool TiXmlDocument::LoadFromVfs(const char* path) {
    if (!path || !VFS::FileExist(path))
        return false;
    VFS::IFile* file = VFS::Hfopen(path, "rb", nullptr);
    if (!file)
        return false;
    const std::size_t size = file->GetSize();
    if (size == 0) {
        VFS::Hfclose(file);
        return false;
    }
    std::vector<char> bytes(size);
    const bool read = VFS::Hfread(bytes.data(), size, 1, file) == 1;
    VFS::Hfclose(file);
    return read && ParseFileBytes(std::move(bytes));
}

bool TiXmlDocument::LoadFile(const char* path) {
    if (LoadFromVfs(path))
        return true;
    if (!path)
        return false;
    std::FILE* file = fopen_resolved(path, "rb");
    if (!file)
        return false;
    // Read to the end rather than trusting a size from seeking: a directory or a special file
    // reports sizes that no read delivers.
    std::vector<char> bytes;
    std::size_t size = 0;
    for (;;) {
        bytes.resize(size + kDiskReadChunk);
        const std::size_t got = std::fread(bytes.data() + size, 1, kDiskReadChunk, file);
        size += got;
        if (got < kDiskReadChunk)
            break;
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return false;
    bytes.resize(size);
    return ParseFileBytes(std::move(bytes));
}

}  // namespace Zel
