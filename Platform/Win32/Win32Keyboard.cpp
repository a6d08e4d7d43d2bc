#include "Platform/Win32/Win32Keyboard.h"

#include <cstring>

namespace {
BYTE g_keys[256] = {};
}  // namespace

SHORT GetKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255)
        return 0;
    return static_cast<SHORT>(static_cast<signed char>(g_keys[virtualKey]));
}

BOOL GetKeyboardState(BYTE* keyState) {
    if (!keyState)
        return FALSE;
    std::memcpy(keyState, g_keys, sizeof g_keys);
    return TRUE;
}

void SetKeyDown(int virtualKey, bool down) {
    if (virtualKey < 0 || virtualKey > 255)
        return;
    BYTE& key = g_keys[virtualKey];
    if (down && !(key & 0x80))
        key = static_cast<BYTE>((key ^ 0x01) | 0x80);
    else if (!down)
        key = static_cast<BYTE>(key & 0x7F);
}

void ResetKeyboardState() {
    std::memset(g_keys, 0, sizeof g_keys);
}
