#include "Platform/Win32/Win32Shell.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Platform/Win32/Win32Handle.h"

namespace {

struct GlobalBlock final : Win32Handle::Object {
    explicit GlobalBlock(SIZE_T bytes) : data(bytes) {}
    std::vector<unsigned char> data;
};

std::shared_ptr<GlobalBlock> FindBlock(HGLOBAL memory) {
    return Win32Handle::Get<GlobalBlock>(memory);
}

struct Clipboard {
    std::mutex mutex;
    bool open = false;
    std::thread::id opener;
    HGLOBAL text = nullptr;
};

Clipboard& TheClipboard() {
    static Clipboard clipboard;
    return clipboard;
}

// Under the clipboard's mutex.
bool OpenedHere(const Clipboard& clipboard) {
    return clipboard.open && clipboard.opener == std::this_thread::get_id();
}

HINSTANCE OpenNothing(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT) {
    return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(SE_ERR_NOASSOC));
}

std::mutex g_shellMutex;
ShellExecuteSink g_shellSink = &OpenNothing;

}  // namespace

HGLOBAL GlobalAlloc(UINT, SIZE_T bytes) {
    if (bytes == 0)
        return nullptr;
    try {
        return Win32Handle::Publish(std::make_shared<GlobalBlock>(bytes));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

LPVOID GlobalLock(HGLOBAL memory) {
    // The table keeps the block alive until GlobalFree, so its bytes outlive this reference.
    const std::shared_ptr<GlobalBlock> block = FindBlock(memory);
    return block ? block->data.data() : nullptr;
}

BOOL GlobalUnlock(HGLOBAL memory) {
    return FindBlock(memory) ? TRUE : FALSE;
}

SIZE_T GlobalSize(HGLOBAL memory) {
    const std::shared_ptr<GlobalBlock> block = FindBlock(memory);
    return block ? block->data.size() : 0;
}

HGLOBAL GlobalFree(HGLOBAL memory) {
    if (!FindBlock(memory))
        return memory;
    Win32Handle::Close(memory);
    return nullptr;
}

BOOL OpenClipboard(HWND) {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    if (clipboard.open && !OpenedHere(clipboard))
        return FALSE;
    clipboard.open = true;
    clipboard.opener = std::this_thread::get_id();
    return TRUE;
}

BOOL CloseClipboard() {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    if (!OpenedHere(clipboard))
        return FALSE;
    clipboard.open = false;
    return TRUE;
}

BOOL EmptyClipboard() {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    if (!OpenedHere(clipboard))
        return FALSE;
    GlobalFree(clipboard.text);
    clipboard.text = nullptr;
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE memory) {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    if (!OpenedHere(clipboard) || format != CF_TEXT || !FindBlock(memory))
        return nullptr;
    if (clipboard.text != memory)
        GlobalFree(clipboard.text);
    clipboard.text = memory;
    return memory;
}

HANDLE GetClipboardData(UINT format) {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    return OpenedHere(clipboard) && format == CF_TEXT ? clipboard.text : nullptr;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    return format == CF_TEXT && clipboard.text ? TRUE : FALSE;
}

HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        INT show) {
    ShellExecuteSink sink;
    {
        std::lock_guard<std::mutex> lock(g_shellMutex);
        sink = g_shellSink;
    }
    return sink(owner, verb, file, parameters, directory, show);
}

ShellExecuteSink SetShellExecuteSink(ShellExecuteSink sink) {
    std::lock_guard<std::mutex> lock(g_shellMutex);
    ShellExecuteSink previous = g_shellSink;
    g_shellSink = sink ? sink : &OpenNothing;
    return previous;
}
