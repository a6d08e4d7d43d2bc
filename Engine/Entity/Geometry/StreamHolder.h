// A stream held by the reader that opened it and released when the reader is done.
#pragma once

#include <memory>
#include <string>

#include "Core/ChunkStream.h"
#include "Core/IZelFileStream.h"
#include "Core/IZelStream.h"
#include "Core/StreamFactory.h"

namespace Zel {

struct StreamRelease {
    void operator()(IZelStream* stream) const { stream->Release(); }
};
using StreamHolder = std::unique_ptr<IZelStream, StreamRelease>;

// A whole chunk file: the path read into a memory stream and handed to read(stream); false when
// it cannot be opened, when the reader fails or when the stream ran short (FinishChunkRead).
template <class Read>
bool ReadChunkFile(const std::string& path, Read read) {
    StreamHolder stream(OpenMemoryStream(path));
    if (!stream)
        return false;
    const bool ok = read(stream.get());
    return FinishChunkRead(stream.get(), ok);
}

}  // namespace Zel
