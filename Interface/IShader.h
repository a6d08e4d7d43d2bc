// A material as the host sees it: its passes and their textures, pinning it in memory and editing
// it from XML text. The host meets it as IShader (objects hand it out so) or as IMaterial, the
// same interface. Operations marked reserved keep their place in the operation order and answer
// the value given. A wrapper that is not bound answers 0, false or null (the name: an empty
// text). Host thread.
#pragma once

#include <cstdint>

#include "Interface/IObject.h"

namespace ZelI {

class ITexture;

class IShader : public IObject {
public:
    // The material's name, owned by the material.
    virtual const char* GetName() = 0;
    // Reserved: answers 0.
    virtual std::int32_t Reserved7() = 0;
    // Reserved: answers false.
    virtual bool Reserved8() = 0;
    // Reserved: answers 0.
    virtual std::int32_t Reserved9() = 0;
    // Reserved: answer 0.0.
    virtual float Reserved10() = 0;
    virtual float Reserved11() = 0;
    virtual std::uint32_t GetPassCount() = 0;
    // The number of stage textures of pass i; 0 without pass i.
    virtual std::uint32_t GetPassTextureCount(std::uint32_t pass) = 0;
    virtual bool HasPass(std::uint32_t pass) = 0;
    // The k-th stage of pass i that holds a texture, counting only such stages, as the texture's
    // wrapper (given back with IObject::Release); null when there is none.
    virtual ITexture* GetPassTexture(std::uint32_t pass, std::uint32_t k) = 0;
    // Writes the wrappers of the material's distinct textures into textures, at most max, and
    // answers how many were written.
    virtual std::uint32_t CollectTextures(ITexture** textures, std::uint32_t max) = 0;
    // Reserved: does nothing.
    virtual void Reserved17() = 0;
    // Reserved: answer 0.
    virtual std::int32_t Reserved18() = 0;
    virtual std::int32_t Reserved19() = 0;
    virtual std::int32_t Reserved20() = 0;
    // Reserved: answer 1.0.
    virtual float Reserved21() = 0;
    virtual float Reserved22() = 0;
    // Reserved: answers 0.0.
    virtual float Reserved23() = 0;
    // Reserved: answer 0.
    virtual std::int32_t Reserved24() = 0;
    virtual std::int32_t Reserved25() = 0;
    // Reserved: answers 1.0.
    virtual float Reserved26() = 0;
    // Reserved: does nothing.
    virtual void Reserved27() = 0;
    // Whether any pass draws blended.
    virtual bool HasBlendedPass() = 0;
    // Reserved: answers false.
    virtual bool Reserved29() = 0;
    // Takes a reference and makes sure the material and its textures are loaded.
    virtual void Pin() = 0;
    // Gives the reference back; with only the manager's reference left the material unloads.
    // At a count of 1 (the manager's own reference) nothing changes and the call is logged, so
    // that an unbalanced unpin never frees a material its manager still lists.
    virtual void Unpin() = 0;
    virtual std::int32_t GetRefCount() = 0;
    // The texture of the k-th stage of pass i that holds one is replaced by texture (null clears
    // the stage); nothing without pass i or such a stage.
    virtual void SetPassTexture(std::uint32_t pass, std::uint32_t k, ITexture* texture) = 0;
    // Rebuilds the material from the material of that name in a material library given as
    // text; false, changing nothing, when the text holds no such material.
    virtual bool LoadFromXmlText(const char* text, const char* name) = 0;

protected:
    ~IShader() override = default;
};

class IMaterial : public IShader {
protected:
    ~IMaterial() override = default;
};

}  // namespace ZelI
