// The lock interface that locksection implements.
#pragma once

namespace Zel {

class ilock {
public:
    virtual ~ilock() = default;
    virtual void Enter() = 0;
    virtual void Leave() = 0;
};

}  // namespace Zel
