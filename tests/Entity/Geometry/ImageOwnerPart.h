// A geometry of the body-part class, made by hand for a given owner, that counts how often its
// images were dropped.
#pragma once

#include <cstdint>

#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/GeometryManager.h"

namespace ZelTest {

class ImageOwnerPart final : public Zel::Geometry {
public:
    ImageOwnerPart(Zel::GeometryManager& manager, const char* name, std::int32_t owner)
        : Geometry(&manager, name, "Geometry", manager.NextHandle()), owner_(owner) {}
    ZEL_CLASS_ID(GeometryBodyPart)
    std::int32_t GetOwnerId() const override { return owner_; }
    void UnloadImages() override { ++released; }
    int released = 0;

private:
    std::int32_t owner_;
};

}  // namespace ZelTest
