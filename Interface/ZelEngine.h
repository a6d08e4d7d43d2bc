// The library's three exports, with C linkage so that a host can find them with dlsym.
// All three run on the host's thread.
#pragma once

#if defined(ZEL_BUILDING_ENGINE) || defined(__GNUC__)
#define ZEL_EXPORT extern "C" __attribute__((visibility("default")))
#else
#define ZEL_EXPORT extern "C"
#endif

namespace ZelI {
class IRender;
class IProxyFactory;
}  // namespace ZelI

// Builds the renderer on the first call and answers its root interface; null once the renderer
// has been deleted (it is not built again in the same process).
ZEL_EXPORT ZelI::IRender* CreateRenderer();
// Tears the renderer down. Answers the result of releasing the shader-compiler module, 0 when
// none was loaded. A second call does nothing harmful.
ZEL_EXPORT int DeleteRenderer();
// The proxy factory through which the host reaches managers and objects; null until the proxy
// layer exists.
ZEL_EXPORT ZelI::IProxyFactory* CreateIProxyFactory();

using PFN_CreateRenderer = ZelI::IRender* (*)();
using PFN_DeleteRenderer = int (*)();
using PFN_CreateIProxyFactory = ZelI::IProxyFactory* (*)();
