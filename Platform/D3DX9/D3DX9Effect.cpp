#include "Platform/D3DX9/D3DX9Effect.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Platform/D3DX9/D3DX9Errors.h"
#include "Platform/D3DX9/D3DXBuffer.h"
#include "Platform/D3DX9/D3DXEffect.h"
#include "Platform/D3DX9/D3DXEffectCompiler.h"
#include "Platform/D3DX9/D3DXIncludeAdapter.h"
#include "Platform/D3DX9/Hlsl/EffectCompiler.h"
#include "Platform/D3DX9/Hlsl/EffectSerializer.h"
#include "Platform/Win32/Win32Files.h"

namespace {

bool ReadFile(LPCSTR path, std::string& bytes) {
    FILE* file = fopen_resolved(path, "rb");
    if (file == nullptr)
        return false;
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

void HandOut(const std::string& messages, LPD3DXBUFFER* errors) {
    if (errors != nullptr)
        *errors = messages.empty() ? nullptr : D3DXBuffer::FromText(messages);
}

bool IsCompiled(const std::string& bytes) {
    if (bytes.size() < 4)
        return false;
    std::uint32_t magic = static_cast<std::uint8_t>(bytes[0]) |
                          static_cast<std::uint8_t>(bytes[1]) << 8 |
                          static_cast<std::uint8_t>(bytes[2]) << 16 |
                          static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[3])) << 24;
    return magic == Hlsl::EffectSerializer::kMagic;
}

// Reads a source or compiled effect file. On success effect is set; messages gets what the
// compiler or reader said.
HRESULT LoadEffect(LPCSTR path, const D3DXMACRO* defines, LPD3DXINCLUDE include, bool sourceOnly,
                   Hlsl::CompileOutput& out) {
    std::string bytes;
    if (!ReadFile(path, bytes)) {
        out.messages = std::string(path) + ": error X3501: cannot open the effect file\n";
        return E_FAIL;
    }
    if (!sourceOnly && IsCompiled(bytes)) {
        Hlsl::CompiledEffectHeader header;
        std::string error;
        out.effect = Hlsl::EffectSerializer::Load(bytes.data(), bytes.size(), header, error);
        if (out.effect == nullptr) {
            out.messages = std::string(path) + ": error X3000: " + error + "\n";
            return D3DXERR_INVALIDDATA;
        }
        return D3D_OK;
    }
    std::vector<Hlsl::MacroDefinition> macros;
    for (const D3DXMACRO* m = defines; m != nullptr && m->Name != nullptr; ++m)
        macros.push_back({m->Name, m->Definition != nullptr ? m->Definition : ""});
    std::unique_ptr<D3DXIncludeAdapter> adapter;
    if (include != nullptr)
        adapter = std::make_unique<D3DXIncludeAdapter>(include);
    out = Hlsl::EffectCompiler::Compile(path, bytes, macros, adapter.get());
    return out.effect != nullptr ? D3D_OK : D3DXERR_INVALIDDATA;
}

}  // namespace

HRESULT D3DXCreateEffectFromFileA(IDirect3DDevice9* device, LPCSTR srcFile,
                                  const D3DXMACRO* defines, LPD3DXINCLUDE include, DWORD,
                                  LPD3DXEFFECTPOOL pool, LPD3DXEFFECT* effect,
                                  LPD3DXBUFFER* errors) {
    if (errors != nullptr)
        *errors = nullptr;
    if (device == nullptr || srcFile == nullptr || effect == nullptr || pool != nullptr)
        return D3DERR_INVALIDCALL;
    *effect = nullptr;
    Hlsl::CompileOutput out;
    HRESULT hr = LoadEffect(srcFile, defines, include, false, out);
    HandOut(out.messages, errors);
    if (!SUCCEEDED(hr))
        return hr;
    *effect = new D3DXEffect(device, out.effect);
    return D3D_OK;
}

HRESULT D3DXCreateEffectCompilerFromFileA(LPCSTR srcFile, const D3DXMACRO* defines,
                                          LPD3DXINCLUDE include, DWORD,
                                          LPD3DXEFFECTCOMPILER* compiler, LPD3DXBUFFER* errors) {
    if (errors != nullptr)
        *errors = nullptr;
    if (srcFile == nullptr || compiler == nullptr)
        return D3DERR_INVALIDCALL;
    *compiler = nullptr;
    Hlsl::CompileOutput out;
    HRESULT hr = LoadEffect(srcFile, defines, include, true, out);
    HandOut(out.messages, errors);
    if (!SUCCEEDED(hr))
        return hr;
    std::vector<std::string> names;
    for (const Hlsl::IncludedFile& f : out.includes) names.push_back(f.name);
    *compiler = new D3DXEffectCompiler(out.effect, out.sourceHash, std::move(names));
    return D3D_OK;
}

HRESULT D3DXCreateBuffer(DWORD size, LPD3DXBUFFER* buffer) {
    if (buffer == nullptr)
        return D3DERR_INVALIDCALL;
    *buffer = new D3DXBuffer(std::vector<std::uint8_t>(size));
    return D3D_OK;
}
