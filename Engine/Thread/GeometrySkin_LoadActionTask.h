// The queued load of an action list into a skinned geometry's shared action set: one step on
// loading thread 0 under the main lock (itask.h), the host's thread runs nothing of it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Core/itask.h"

namespace Zel {

class GeometrySkin;

// The parameter record: the set name and the list file, each zero-terminated within its field,
// and the geometry whose skeleton keys the set.
struct GeometrySkinActionRecord {
    static constexpr std::size_t kSetNameSize = 128;
    static constexpr std::size_t kFileSize = 256;

    char setName[kSetNameSize] = {};
    char file[kFileSize] = {};
    GeometrySkin* geometry = nullptr;  // not owned
};

// Runs GeometrySkin::LoadSharedActions with the record's texts; fails with kFailure (reported
// when there is no geometry) and touches nothing else.
class GeometrySkin_LoadActionTask final : public itask {
public:
    static constexpr std::int32_t kType = 16;
    static constexpr std::int32_t kFailure = 23;

    std::int32_t GetType() const override { return kType; }
    const char* GetName() const override { return "GeometrySkin_LoadActionTask"; }
    void Reset() override;
    // Copies the record given by address; null leaves the task's record as it is.
    void SetParameter(const void* parameter) override;
    std::int32_t OnTaskBegin() override;

private:
    GeometrySkinActionRecord record_;
};

}  // namespace Zel
