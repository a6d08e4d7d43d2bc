// D3DX explains a failed call on the debug output. Here that output is a replaceable sink: the
// default writes each message as one line to stderr; the engine or a test may install its own.
// Any thread; the sink is called on the failing call's thread and must be safe to call from any.
#pragma once

// Receives one message without a line end.
using D3DXDebugSink = void (*)(const char* text);

// Installs a sink (null restores the default); answers the previous one.
D3DXDebugSink D3DXSetDebugSink(D3DXDebugSink sink);

// Formats a message (cut at 1023 bytes) and hands it to the sink. For the D3DX layer's own use.
void D3DXDebugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
