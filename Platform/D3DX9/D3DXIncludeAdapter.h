// Lets the effect compiler read "#include" files through an application's ID3DXInclude.
#pragma once

#include "Platform/D3DX9/Hlsl/IncludeHandler.h"
#include "Platform/D3DX9/ID3DXInclude.h"

class D3DXIncludeAdapter final : public Hlsl::IIncludeHandler {
public:
    // include is not owned and must outlive the adapter.
    explicit D3DXIncludeAdapter(ID3DXInclude* include) : include_(include) {}

    // False when Open fails or answers success with no data (the file is then not closed).
    bool Open(Hlsl::IncludeType type, const std::string& name, const void* parentData,
              const void** data, std::uint32_t* bytes) override;
    void Close(const void* data) override { include_->Close(data); }

private:
    ID3DXInclude* include_;
};
