// A level: the static world of a scene, with its spatial tree, occluders and named parts. Reserved
// operations keep their place in the operation order. A wrapper that is not bound does nothing
// and answers 0. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IMoveObject.h"

namespace ZelI {

class ICamera;

class ILevel : public IMoveObject {
public:
    // Links the other level to this one.
    virtual void LinkLevel(ILevel* other) = 0;
    // Takes the other level out of the scene's spatial tree, or puts it back.
    virtual void DetachSpatial(ILevel* other) = 0;
    virtual void AttachSpatial(ILevel* other) = 0;
    // Reserved: answer 0, then do nothing.
    virtual std::int32_t Reserved69() = 0;
    virtual std::int32_t Reserved70() = 0;
    virtual std::int32_t Reserved71() = 0;
    virtual void Reserved72() = 0;
    virtual void Reserved73() = 0;
    virtual void Reserved74() = 0;
    // The world bounding box into out (6 floats).
    virtual void GetLevelBox(float* out) = 0;
    // Stores the point (x, y, z, 1) in the scene.
    virtual void SetScenePoint(float x, float y, float z) = 0;
    virtual void SetLevelName(const char* name) = 0;
    // Updates the camera for the frame, then culls the level against it.
    virtual void Cull(ICamera* camera) = 0;
    // Two words of the renderer's scene service.
    virtual std::uint32_t GetServiceWord0() = 0;
    virtual std::uint32_t GetServiceWord1() = 0;
    // Three integers of the host's kept with the level.
    virtual void SetLevelValue0(std::int32_t value) = 0;
    virtual void SetLevelValue1(std::int32_t value) = 0;
    virtual void SetLevelValue2(std::int32_t value) = 0;
    virtual void SetCullParameter(float value) = 0;
    virtual void SetOcclusionEnabled(bool on) = 0;
    virtual bool IsOcclusionEnabled() = 0;
    virtual std::uint32_t GetOccluderCount() = 0;
    // Debug drawing of the occluders and of the spatial tree.
    virtual void DrawOccluderDebug() = 0;
    virtual void DrawOctreeDebug() = 0;
    // Part i's name (owned by the level); null past the end.
    virtual const char* GetPartName(std::uint32_t index) = 0;
    virtual std::uint32_t GetPartCount() = 0;

protected:
    ~ILevel() override = default;
};

}  // namespace ZelI
