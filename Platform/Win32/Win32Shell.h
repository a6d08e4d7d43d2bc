// The shell and the clipboard as the debug console uses them. Nothing leaves the process: the
// clipboard is one process-wide text store, and ShellExecuteA goes to a replaceable sink (the
// default opens nothing and answers SE_ERR_NOASSOC) so that tests can record what would open.
// Any thread; the clipboard is opened by one thread at a time.
#pragma once

#include "Platform/Win32/Win32Types.h"

using HGLOBAL = void*;

// Movable global memory, the carrier of clipboard data.
constexpr UINT GMEM_MOVEABLE = 0x0002;
// Null when the size is 0 or cannot be had.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// The block's bytes; null for a handle that is not global memory.
LPVOID GlobalLock(HGLOBAL memory);
BOOL GlobalUnlock(HGLOBAL memory);
SIZE_T GlobalSize(HGLOBAL memory);
// Null on success, the handle when it is not global memory.
HGLOBAL GlobalFree(HGLOBAL memory);

constexpr UINT CF_TEXT = 1;
// FALSE while another thread has the clipboard open.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
// Drops every format; FALSE unless the calling thread has the clipboard open.
BOOL EmptyClipboard();
// The clipboard takes the memory over (it must not be freed by the caller); answers it, or null
// when the clipboard is not open on this thread, the format is not CF_TEXT or the handle is not
// global memory.
HANDLE SetClipboardData(UINT format, HANDLE memory);
// The clipboard's memory for the format (owned by the clipboard), null when absent or when the
// clipboard is not open on this thread.
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);

constexpr int SW_SHOWNORMAL = 1;
// Answers above 32 mean success.
constexpr int SE_ERR_NOASSOC = 31;
using ShellExecuteSink = HINSTANCE (*)(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                       LPCSTR directory, INT show);
HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        INT show);
// Installs a sink (null restores the default); answers the previous one.
ShellExecuteSink SetShellExecuteSink(ShellExecuteSink sink);
