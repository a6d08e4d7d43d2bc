// The Win32 layer: everything the engine takes from the operating system.
#pragma once

#include "Platform/Win32/Win32Types.h"
#include "Platform/Win32/Win32Sync.h"
#include "Platform/Win32/Win32Time.h"
#include "Platform/Win32/Win32Files.h"
#include "Platform/Win32/Win32Keyboard.h"
#include "Platform/Win32/Win32System.h"
#include "Platform/Win32/PathResolver.h"
