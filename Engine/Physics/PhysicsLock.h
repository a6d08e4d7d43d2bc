// The one physics lock: stepping, body creation and release, the setters and the scene lookup
// take it, so a loading thread may create cloth while the host steps. Re-entrant, since a clone
// creates a body and then calls its setters.
#pragma once

#include <mutex>

namespace Zel {

std::recursive_mutex& PhysicsMutex();

using PhysicsLock = std::lock_guard<std::recursive_mutex>;

}  // namespace Zel
