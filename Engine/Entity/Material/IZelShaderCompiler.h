// The shader compiler the render system holds: given a material, it names (and when needed
// writes) the effect file the material draws with. The GPU program manager then loads that file.
// One thread at a time (the loading thread).
#pragma once

#include <string>

namespace Zel {

class Material;

class IZelShaderCompiler {
public:
    virtual ~IZelShaderCompiler() = default;
    // The effect file name for the material; the string belongs to the compiler and is
    // overwritten by the next call. specularOff: the effect leaves out the specular term.
    virtual const std::string& Generate(Material* material, bool specularOff) = 0;

protected:
    IZelShaderCompiler() = default;
    IZelShaderCompiler(const IZelShaderCompiler&) = delete;
    IZelShaderCompiler& operator=(const IZelShaderCompiler&) = delete;
};

}  // namespace Zel
