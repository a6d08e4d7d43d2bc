// libZelEngine.so is the whole engine archive linked into one shared object; the exported entry
// points (CreateRenderer, DeleteRenderer, CreateIProxyFactory) live in Engine/Core.
#include "Core/threadmng.h"

namespace {

// Runs when the library is unloaded (or the process ends), before the static destructors of the
// library: a worker still running then would step into managers those destructors free.
__attribute__((destructor)) void StopWorkersAtUnload() {
    Zel::threadmng::StopWorkers();
}

}  // namespace
