// Installs the binders through which library objects hand out their host wrappers and the factory
// of the host interface's task classes, and fills every wrapper pool. Runs when the library is
// loaded; calling it again changes nothing.
#pragma once

namespace ZelI {
class IMaterial;
}  // namespace ZelI

namespace Zel {

class Material;

void InstallInterfaceBinders();

// The host's wrapper of the material, bound on first request (the same wrapper while it stays
// bound); null for null. The host gives it back through IObject::Release, which releases the
// material (Material::Release).
ZelI::IMaterial* MaterialInterface(Material* material);

}  // namespace Zel
