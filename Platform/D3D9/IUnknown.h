// The COM base every interface of the Direct3D 9 and DirectDraw stand-ins derives from: a
// reference count that the holder raises with AddRef and drops with Release (the object goes when
// it reaches zero), and QueryInterface for the interfaces an object implements.
#pragma once

#include "Platform/Win32/Win32Types.h"

inline constexpr GUID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class IUnknown {
public:
    // Writes the object's interface for the id (with one reference added) and answers S_OK; writes
    // null and answers E_NOINTERFACE for an interface it does not implement, E_POINTER when out is
    // null.
    virtual HRESULT QueryInterface(REFIID riid, void** out) = 0;
    // Both answer the new count.
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    IUnknown() = default;
    ~IUnknown() = default;
    IUnknown(const IUnknown&) = delete;
    IUnknown& operator=(const IUnknown&) = delete;
};

constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
