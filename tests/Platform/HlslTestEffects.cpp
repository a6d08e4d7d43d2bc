#include "HlslTestEffects.h"

namespace HlslTest {

bool TableIncludes::Open(Hlsl::IncludeType, const std::string& name, const void*, const void** data,
                         std::uint32_t* bytes) {
    auto f = files_.find(name);
    if (f == files_.end())
        return false;
    *data = f->second.data();
    *bytes = static_cast<std::uint32_t>(f->second.size());
    ++open_;
    return true;
}

void TableIncludes::Close(const void*) {
    --open_;
}

Hlsl::CompileOutput CompileText(const std::string& text) {
    TableIncludes includes(IncludeFiles());
    return Hlsl::EffectCompiler::Compile("effect.fx", text, {}, &includes);
}

}  // namespace HlslTest
