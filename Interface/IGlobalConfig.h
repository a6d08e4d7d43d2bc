// The host's view of the global switches: 86 integer switches (index 0-85), one float switch
// (index 0) and two blocked-directory lists (0 effect directories, 1 chr directories). An index
// out of range writes nothing and reads 0. Host thread.
#pragma once

#include <cstdint>

namespace ZelI {

class IGlobalConfig {
public:
    // True when the path (any case, either separator) contains an entry of list i.
    virtual bool IsPathBlocked(std::uint32_t list, const char* path) = 0;
    virtual void SetValue(std::uint32_t index, std::int32_t value) = 0;
    virtual void SetFloatValue(std::uint32_t index, float value) = 0;
    // Entries separated by ';'; stored lower-cased with backslashes.
    virtual void SetBlockedDirs(std::uint32_t list, const char* dirs) = 0;
    virtual std::int32_t GetValue(std::uint32_t index) = 0;
    virtual float GetFloatValue(std::uint32_t index) = 0;
    virtual bool HasBlockedDirs(std::uint32_t list) = 0;
    virtual std::uint32_t GetClassId() const = 0;
    virtual const char* GetClassName() const = 0;

protected:
    ~IGlobalConfig() = default;
};

}  // namespace ZelI
