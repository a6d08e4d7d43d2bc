// An include handler over a table of files and the compile call shared by the effect compiler's
// tests; the effect texts themselves are the fixture writers'.
#pragma once

#include <map>
#include <string>

#include "Platform/D3DX9/Hlsl/EffectCompiler.h"
#include "fixtures/EffectFixtures.h"
#include "Platform/D3DX9/Hlsl/IncludeHandler.h"

namespace HlslTest {

// Serves files from a name -> text table; names are matched exactly as written.
class TableIncludes : public Hlsl::IIncludeHandler {
public:
    explicit TableIncludes(std::map<std::string, std::string> files) : files_(std::move(files)) {}
    bool Open(Hlsl::IncludeType type, const std::string& name, const void* parentData,
              const void** data, std::uint32_t* bytes) override;
    void Close(const void* data) override;
    int OpenCount() const { return open_; }

private:
    std::map<std::string, std::string> files_;
    int open_ = 0;
};

using ZelFixtures::GeneratedEffect;
using ZelFixtures::ProjectiveShadowReceiverEffect;
using ZelFixtures::SkeletalShadowCastEffect;
using ZelFixtures::StaticShadowCastEffect;

inline std::map<std::string, std::string> IncludeFiles() {
    return ZelFixtures::EffectIncludeFiles();
}

// Compiles text named "effect.fx" with the include files of IncludeFiles().
Hlsl::CompileOutput CompileText(const std::string& text);

}  // namespace HlslTest
