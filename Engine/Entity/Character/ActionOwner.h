// What animation channels and action-tree lookups need from the model that owns them: its actions
// by name and through the action trees, its skeleton, its figure byte and whether it is a
// NewActor. Skeletal models and actors implement it.
#pragma once

#include <cstdint>
#include <string_view>

namespace Zel {

class Action;
class Skeleton;

class ActionOwner {
public:
    virtual ~ActionOwner() = default;
    // The owner's action of the name; null when it has none. The owner keeps its reference.
    virtual Action* FindAction(std::string_view name) = 0;
    // The action of the name through the owner's action trees; null when none resolves.
    virtual Action* FindTreeAction(std::string_view name) = 0;
    // The skeleton the owner's actions are bound to; null without one.
    virtual Skeleton* GetSkeleton() = 0;
    // The figure byte (the owner's sex) the action trees choose by.
    virtual std::uint8_t GetFigure() const = 0;
    virtual bool IsNewActor() const = 0;
};

}  // namespace Zel
