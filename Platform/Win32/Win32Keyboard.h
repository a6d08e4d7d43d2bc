// The keyboard as the engine polls it: the state of each of the 256 virtual keys, high bit set
// while the key is down, low bit toggled on each press. There is no keyboard behind it here: the
// table starts all up and a test (or a host driving the library headless) writes it. Any thread;
// the table is process-wide and unsynchronised, as the system's own key state is to its readers.
#pragma once

#include "Platform/Win32/Win32Types.h"

constexpr int VK_CONTROL = 0x11;
constexpr int VK_F6 = 0x75;
constexpr int VK_F8 = 0x77;
constexpr int VK_F9 = 0x78;

// The state byte of one virtual key, widened with its sign (negative while the key is down);
// 0 for a code outside 0..255.
SHORT GetKeyState(int virtualKey);
// Copies the 256 state bytes into keyState. FALSE when keyState is null.
BOOL GetKeyboardState(BYTE* keyState);

// The key table's writer: key down sets the high bit and toggles the low bit, key up clears the
// high bit. Codes outside 0..255 are ignored.
void SetKeyDown(int virtualKey, bool down);
// Every key up and untoggled.
void ResetKeyboardState();
