// Base of the library's objects with identity: managers, resources, scene nodes, render
// resources. Each object gets a serial id when it is constructed; registered classes answer their
// class id and class-name string (ClassIds.h), the library's run-time type test.
#pragma once

#include <cstdint>

#include "Core/ClassIds.h"

namespace Zel {

class Object {
public:
    // Takes the next serial id from a process-wide atomic counter (the first object gets 0); any
    // thread may construct objects.
    Object();
    virtual ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    // The class id of the object's class; ClassId::Object for a class that registers nothing.
    virtual std::uint32_t GetClassId() const;
    // The class-name string of the object's class ("ZelObject" here); static storage.
    virtual const char* GetClassName() const;

    // Unique for the life of the process; never reused.
    std::uint32_t GetSerialId() const { return serialId_; }

private:
    std::uint32_t serialId_;
};

}  // namespace Zel

// Declares, inside a registered class derived from Object, the two getters answering the class's
// own id and name, e.g. ZEL_CLASS_ID(Actor).
#define ZEL_CLASS_ID(name)                                          \
    std::uint32_t GetClassId() const override {                     \
        return ::Zel::ClassId::name;                                \
    }                                                               \
    const char* GetClassName() const override {                     \
        return ::Zel::GetRegisteredClassName(::Zel::ClassId::name); \
    }
