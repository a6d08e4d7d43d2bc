// An occlusion query on the Direct3D 9 device: counts the samples that pass the depth test
// between Begin and End. The Direct3D query is made on first Begin when the device supports
// occlusion queries; without one, Begin and End do nothing and GetResult answers "visible".
// Host thread.
#pragma once

#include "Platform/D3D9/IDirect3DQuery9.h"
#include "Render/Query.h"

namespace Zel {

class RenderDevice;

class OcclusionQueryD3D9 final : public Query {
public:
    enum State : std::uint32_t {
        STATE_IDLE = 0,  // never issued, or the result was read
        STATE_BEGUN = 1,
        STATE_PENDING = 2,  // ended, result not read yet
    };

    // device: the render device the query runs on (not owned; null: no query can be made).
    explicit OcclusionQueryD3D9(RenderDevice* device = nullptr) : device_(device) {}
    ~OcclusionQueryD3D9() override;

    void Begin() override;
    void End() override;
    // With a Direct3D query: S_OK writes the count, sets STATE_IDLE and answers true; a result not
    // ready yet (or an error) sets STATE_PENDING and answers false. Without one: writes
    // 0xFFFFFFFF into the first 4 bytes (when size allows) and answers true, so callers that test
    // for a minimum count treat the object as visible.
    bool GetResult(void* data, std::uint32_t size) override;

    // The device a pooled query runs on (pools make their objects without one).
    void SetDevice(RenderDevice* device) { device_ = device; }
    std::uint32_t GetState() const { return state_; }
    bool HasD3DQuery() const { return query_ != nullptr; }

private:
    std::uint32_t state_ = STATE_IDLE;
    IDirect3DQuery9* query_ = nullptr;
    RenderDevice* device_;
    bool tried_ = false;
};

}  // namespace Zel
