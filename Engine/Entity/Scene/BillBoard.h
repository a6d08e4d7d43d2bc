// A camera-facing quad entity. Pooled in its factory in Globals.
#pragma once

#include "Entity/Scene/Entity.h"

namespace Zel {

class BillBoard : public Entity {
public:
    BillBoard() = default;
    ~BillBoard() override = default;
    ZEL_CLASS_ID(BillBoard)
};

}  // namespace Zel
