// The effect compiler and the compiled-effect reader on arbitrary bytes: the first byte picks
// which. Neither may crash, hang or read outside its input; a loaded effect's programs must
// validate and run.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Platform/D3DX9/Hlsl/EffectCompiler.h"
#include "Platform/D3DX9/Hlsl/EffectSerializer.h"
#include "Platform/D3DX9/Hlsl/Program.h"
#include "Platform/D3DX9/Hlsl/ProgramContext.h"

namespace {

void RunAll(const Hlsl::EffectDescription& fx) {
    for (const auto& p : fx.programs) {
        Hlsl::ProgramContext context(*p);
        context.BindConstants(fx.values.data(), fx.values.size());
        context.Run();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    if (data[0] & 1) {
        std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
        Hlsl::CompileOutput out = Hlsl::EffectCompiler::Compile("fuzz.fx", text, {}, nullptr);
        if (out.effect != nullptr)
            RunAll(*out.effect);
    } else {
        Hlsl::CompiledEffectHeader header;
        std::string error;
        auto fx = Hlsl::EffectSerializer::Load(data + 1, size - 1, header, error);
        if (fx != nullptr)
            RunAll(*fx);
    }
    return 0;
}
