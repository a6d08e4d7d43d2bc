// A mesh of a geometry. The interface only identifies the mesh: every operation after IObject's
// is reserved, does nothing and answers 0. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IObject.h"

namespace ZelI {

class IMesh : public IObject {
public:
    virtual std::int32_t Reserved6() = 0;
    virtual std::int32_t Reserved7() = 0;
    virtual std::int32_t Reserved8() = 0;
    virtual std::int32_t Reserved9() = 0;
    virtual std::int32_t Reserved10() = 0;
    virtual std::int32_t Reserved11() = 0;
    virtual std::int32_t Reserved12() = 0;
    virtual std::int32_t Reserved13() = 0;
    virtual std::int32_t Reserved14() = 0;
    virtual std::int32_t Reserved15() = 0;
    virtual std::int32_t Reserved16() = 0;
    virtual std::int32_t Reserved17() = 0;
    virtual std::int32_t Reserved18() = 0;
    virtual std::int32_t Reserved19(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t) = 0;

protected:
    ~IMesh() override = default;
};

}  // namespace ZelI
