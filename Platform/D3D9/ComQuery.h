// QueryInterface for the layer's objects: one interface pointer answers every id in a list.
#pragma once

#include <initializer_list>

#include "Platform/D3D9/IUnknown.h"

// S_OK with iface written and a reference added when riid is one of ids; E_NOINTERFACE (null
// written) otherwise; E_POINTER for a null out.
template <class Interface>
HRESULT AnswerQuery(Interface* iface, REFIID riid, void** out, std::initializer_list<GUID> ids) {
    if (!out)
        return E_POINTER;
    for (const GUID& id : ids) {
        if (riid == id) {
            *out = iface;
            iface->AddRef();
            return S_OK;
        }
    }
    *out = nullptr;
    return E_NOINTERFACE;
}
