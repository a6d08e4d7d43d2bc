// Where "#include" gets its files. Shaped like ID3DXInclude so that one can be plugged in
// behind it: Open hands out a buffer that stays valid until the matching Close.
#pragma once

#include <cstdint>
#include <string>

namespace Hlsl {

enum class IncludeType : std::uint32_t {
    Local = 0,   // #include "name"
    System = 1,  // #include <name>
};

class IIncludeHandler {
public:
    virtual ~IIncludeHandler() = default;
    // name is written as in the directive; parentData is the buffer of the including file (null
    // for the main file). Answers false when the file cannot be had.
    virtual bool Open(IncludeType type, const std::string& name, const void* parentData,
                      const void** data, std::uint32_t* bytes) = 0;
    virtual void Close(const void* data) = 0;
};

}  // namespace Hlsl
