// Base of the resource managers (XML documents, geometry, materials, images, GPU programs,
// actions, animations, skeletons). One manager owns every resource of one type and is registered
// under its type name with the CResourceGroupManager that Globals holds.
//
// This is the base's registration part: a subclass names its type in its constructor
// (RegisterType), and the base removes the registration when the manager is destroyed.
#pragma once

#include <string>

#include "Core/Object.h"

namespace Zel {

class CResourceManager : public Object {
public:
    CResourceManager() = default;
    // Unregisters the type name when this manager is the one registered under it.
    ~CResourceManager() override;

    std::uint32_t GetClassId() const override { return ClassId::CResourceManager; }
    const char* GetClassName() const override {
        return GetRegisteredClassName(ClassId::CResourceManager);
    }

    // "uninitialised" until the subclass registers its type.
    const std::string& GetTypeName() const { return typeName_; }

protected:
    // Sets the type name and registers the manager under it with the group registry of Globals
    // (nothing to register with while Globals has none). Host thread, from the constructor.
    void RegisterType(const char* typeName);

private:
    std::string typeName_ = "uninitialised";
};

}  // namespace Zel
