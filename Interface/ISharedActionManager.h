// The shared action sets of skinned models: actions loaded once per skeleton and played by every
// model built on it. Each operation takes the model whose skeleton keys the set. IRender hands out
// the one manager; the host never deletes it. Host thread.
#pragma once

#include <cstdint>

namespace ZelI {

class IAction;
class ISkeletonModel;

class ISharedActionManager {
public:
    virtual std::uint32_t GetActionCount(ISkeletonModel* model) = 0;
    // The action's wrapper (the host gives it back with IObject::Release); null when none.
    virtual IAction* GetActionByIndex(ISkeletonModel* model, std::uint32_t index) = 0;
    virtual IAction* GetActionByName(ISkeletonModel* model, const char* name) = 0;
    // Loads the actions of the list file into the set now; true on success.
    virtual bool AddAction(ISkeletonModel* model, const char* actionFile, bool flag) = 0;
    // Queues the same load on the loading thread at the priority (0 back of the queue, 1 next, 2
    // first) and answers the task id; 0 without a loading thread or for a null or empty text. The
    // set name must stay under 128 bytes and the file name under 256, terminator included.
    virtual std::uint32_t AddActionAsyn(ISkeletonModel* model, const char* setName,
                                        const char* actionFile, std::int32_t priority) = 0;
    virtual bool HasAction(ISkeletonModel* model, const char* name) = 0;
    // Drops the model's whole set.
    virtual void ReleaseSet(ISkeletonModel* model) = 0;

protected:
    virtual ~ISharedActionManager() = default;
};

}  // namespace ZelI
