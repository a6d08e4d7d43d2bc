// Holds a locksection for the rest of a scope.
#pragma once

#include "Core/locksection.h"

namespace Zel {

class SectionGuard {
public:
    explicit SectionGuard(locksection& lock) : lock_(lock) { lock_.Enter(); }
    ~SectionGuard() { lock_.Leave(); }
    SectionGuard(const SectionGuard&) = delete;
    SectionGuard& operator=(const SectionGuard&) = delete;

private:
    locksection& lock_;
};

}  // namespace Zel
