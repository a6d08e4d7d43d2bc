// The engine's include files (as the effect fixtures write them) served to the effect compiler by
// the names generated effects give them ("../include/<file>").
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "Platform/D3DX9/Hlsl/IncludeHandler.h"
#include "fixtures/EffectFixtures.h"

namespace ZelFuzz {

class FixtureIncludes : public Hlsl::IIncludeHandler {
public:
    bool Open(Hlsl::IncludeType, const std::string& name, const void*, const void** data,
              std::uint32_t* bytes) override {
        auto f = files_.find(name);
        if (f == files_.end())
            return false;
        *data = f->second.data();
        *bytes = static_cast<std::uint32_t>(f->second.size());
        return true;
    }
    void Close(const void*) override {}

private:
    std::map<std::string, std::string> files_ = ZelFixtures::EffectIncludeFiles();
};

}  // namespace ZelFuzz
