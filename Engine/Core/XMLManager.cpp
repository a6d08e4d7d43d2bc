#include "Core/XMLManager.h"

#include "Core/XMLResource.h"

namespace Zel {
namespace {
constexpr const char* kTypeName = "XML";
}  // namespace

XMLManager::XMLManager() {
    RegisterType(kTypeName);
}

XMLManager::~XMLManager() {
    UnregisterType();
}

CResource* XMLManager::CreateImpl(std::string_view name, std::string_view) {
    return new XMLResource(this, name, kTypeName, NextHandle());
}

}  // namespace Zel
