#include "Core/Object.h"

#include <atomic>

namespace Zel {
namespace {
// Objects are built on the host thread and, for loading tasks, on the worker: the counter is
// atomic so that two serial ids are never the same.
std::atomic<std::uint32_t> g_nextSerialId{0};
}  // namespace

Object::Object() : serialId_(g_nextSerialId.fetch_add(1, std::memory_order_relaxed)) {}

Object::~Object() = default;

std::uint32_t Object::GetClassId() const {
    return ClassId::Object;
}

const char* Object::GetClassName() const {
    return GetRegisteredClassName(ClassId::Object);
}

}  // namespace Zel
