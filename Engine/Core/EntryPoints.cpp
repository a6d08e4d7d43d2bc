// The library's exports. The service root is not built yet: the render interface is null.
#include "Interface/ZelEngine.h"

ZEL_EXPORT ZelI::IRender* CreateRenderer() { return nullptr; }

ZEL_EXPORT int DeleteRenderer() { return 0; }

ZEL_EXPORT ZelI::IProxyFactory* CreateIProxyFactory() { return nullptr; }
