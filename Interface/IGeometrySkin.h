// A skinned geometry: the meshes of IGeometry plus the skeleton's animations and the shared
// action set of its skeleton. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IGeometry.h"

namespace ZelI {

class IAction;

class IGeometrySkin : public IGeometry {
public:
    // The skeleton the skin is bound to, as a resource wrapper; null without one.
    virtual IObject* GetSkeletonResource() = 0;
    // Records an animation of the skin: the action file at path, entered under name.
    virtual std::int32_t AddAnimation(const char* name, const char* path) = 0;
    // The animation of that name (the skin's own, else its shared set's), wrapped; null when none.
    virtual IAction* GetAnimationByName(const char* name) = 0;
    // Animation record i, wrapped; null when none.
    virtual IAction* GetAnimationByIndex(std::uint32_t index) = 0;
    virtual std::uint32_t GetAnimationCount() = 0;
    // Reads the action file into the skeleton's shared set.
    virtual bool AddSharedAction(const char* name, std::intptr_t argument) = 0;
    // Loads the list file's actions into the shared set of that name. In queued mode the load
    // runs as a task on the loading thread, run at once. False when not bound or on failure.
    virtual bool LoadSharedActions(const char* setName, const char* listFile) = 0;
    // Queues that load on the loading thread with the load mode and answers the task id.
    virtual std::uint32_t LoadSharedActionsAsyn(const char* setName, const char* listFile,
                                                std::int32_t mode) = 0;
    virtual bool HasSharedAction(const char* name) = 0;

protected:
    ~IGeometrySkin() override = default;
};

}  // namespace ZelI
