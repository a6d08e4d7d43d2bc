#include "Platform/D3D9/D3D9Call.h"

const char* D3D9CallName(D3D9Call call) {
    static const char* const kNames[] = {
#define ZEL_D3D9_CALL_NAME(name) #name,
        ZEL_D3D9_CALLS(ZEL_D3D9_CALL_NAME)
#undef ZEL_D3D9_CALL_NAME
    };
    auto i = static_cast<int>(call);
    if (i < 0 || i >= static_cast<int>(D3D9Call::Count))
        return "?";
    return kNames[i];
}
