// Read-only figures of one action for a host tool. A proxy over no action answers 0. The host owns
// it and deletes it through Release. Host thread.
#pragma once

#include <cstdint>

namespace ZelI {

class IActionInfo {
public:
    virtual void Release() = 0;
    virtual const char* GetName() = 0;
    virtual std::uint32_t GetTrackCount() = 0;
    // Seconds.
    virtual float GetLength() = 0;
    // One bone state per bone of the action's skeleton.
    virtual std::uint32_t GetBoneStateCount() = 0;
    // The key counts of bone state i's animation; 0 past the end or for a missing state.
    virtual std::uint32_t GetBoneKeyCount(std::uint32_t index) = 0;
    virtual std::uint32_t GetBoneKeyCountAlt(std::uint32_t index) = 0;

protected:
    virtual ~IActionInfo() = default;
};

}  // namespace ZelI
