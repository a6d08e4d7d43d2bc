// Memory streams over fixture bytes, for the tests of the chunk readers.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Core/IZelFileStream.h"
#include "Core/StreamFactory.h"

namespace ZelTest {

struct StreamRelease {
    void operator()(Zel::IZelStream* s) const { s->Release(); }
};
using StreamPtr = std::unique_ptr<Zel::IZelStream, StreamRelease>;

// A memory stream named `name` holding a copy of the bytes.
inline StreamPtr MemoryStream(const std::vector<std::uint8_t>& bytes, const std::string& name) {
    Zel::IZelFileStream* s =
        Zel::CreateMemoryFileStream(name, static_cast<std::uint32_t>(bytes.size()));
    if (!bytes.empty())
        std::memcpy(s->GetData(), bytes.data(), bytes.size());
    return StreamPtr(s);
}

}  // namespace ZelTest
