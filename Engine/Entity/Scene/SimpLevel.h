// The simplified level variant. Pooled in its factory in Globals.
#pragma once

#include "Entity/Scene/Level.h"

namespace Zel {

class SimpLevel : public Level {
public:
    SimpLevel() = default;
    ~SimpLevel() override = default;
    ZEL_CLASS_ID(SimpLevel)
};

}  // namespace Zel
