// Installs the binders through which library objects hand out their host wrappers and the factory
// of the host interface's task classes, and fills every wrapper pool. Runs when the library is
// loaded; calling it again changes nothing.
#pragma once

namespace Zel {

void InstallInterfaceBinders();

}  // namespace Zel
