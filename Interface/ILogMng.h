// The log manager's settings for a host tool. One object serves every caller; the host never
// deletes it. Host thread.
#pragma once

#include <cstdint>

namespace ZelI {

class ILogMng {
public:
    // The log manager's current settings word (which outputs it writes to).
    virtual std::uint32_t GetSettings() = 0;

protected:
    virtual ~ILogMng() = default;
};

}  // namespace ZelI
