// The command system's interface, as the host receives it through the proxy factory.
#pragma once

#include "Interface/ICommandSystem.h"

namespace Zel {

using ZelI::ICommandSystem;

}  // namespace Zel
