#include "Platform/D3DX9/D3DX9Log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {

void DefaultSink(const char* text) {
    std::fprintf(stderr, "D3DX: %s\n", text);
}

std::atomic<D3DXDebugSink> g_sink{&DefaultSink};

}  // namespace

D3DXDebugSink D3DXSetDebugSink(D3DXDebugSink sink) {
    return g_sink.exchange(sink ? sink : &DefaultSink);
}

void D3DXDebugPrintf(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    g_sink.load()(text);
}
