// The host's visitor of a manager's resources: a proxy's enumerate operation calls it for every
// resource the manager holds, first the active ones, then those waiting in the manager's garbage
// list, each with its name and reference count. The host owns the visitor; the calls run on the
// host's thread, with the manager's list locked (a visitor must not call back into the manager).
#pragma once

#include <cstdint>

namespace ZelI {

class IResVisitor {
public:
    virtual ~IResVisitor() = default;
    // name is valid only during the call.
    virtual void VisitActive(const char* name, std::int32_t refCount) = 0;
    virtual void VisitGarbage(const char* name, std::int32_t refCount) = 0;
};

}  // namespace ZelI
