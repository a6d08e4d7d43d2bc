// What CResourceManager::Enumerate calls for every resource: the host's visitor interface, first
// for each active resource, then for each one in the garbage list, with its name and reference
// count.
#pragma once

#include "Interface/IResVisitor.h"

namespace Zel {

using ZelI::IResVisitor;

}  // namespace Zel
