// What the body-part and cloth loaders need to know about the character they load for: its id
// (the owner of the loaded parts), its sex, whether it is a NewActor (which wears ".bp4" parts and
// loads their images from separate files) and the name of its skeleton. The character classes
// implement it; the loaders only read it.
#pragma once

#include <cstdint>
#include <string>

namespace Zel {

class BodyPartCharacter {
public:
    virtual ~BodyPartCharacter() = default;
    virtual std::int32_t GetCharacterId() const = 0;
    virtual std::int32_t GetSex() const = 0;
    virtual bool IsNewActor() const = 0;
    // Empty for a character without a skeleton.
    virtual std::string GetSkeletonName() const = 0;
};

}  // namespace Zel
