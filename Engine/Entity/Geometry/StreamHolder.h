// A stream held by the reader that opened it and released when the reader is done.
#pragma once

#include <memory>

#include "Core/IZelStream.h"

namespace Zel {

struct StreamRelease {
    void operator()(IZelStream* stream) const { stream->Release(); }
};
using StreamHolder = std::unique_ptr<IZelStream, StreamRelease>;

}  // namespace Zel
