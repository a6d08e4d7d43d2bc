#include "Render/RenderCore/HardwareCapsList.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "Core/TiXmlDocument.h"

namespace Zel {
namespace {

std::string LowerCaseCopy(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The attribute's value, or null when the element lacks it.
const char* AttributeText(const XmlNode* node, const char* name) {
    const XmlAttribute* attribute = node->first_attribute(name);
    return attribute ? attribute->value() : nullptr;
}

// Whether the lower-cased description holds the value (ignoring case).
bool DescriptionHolds(const std::string& description, const char* value) {
    return description.find(LowerCaseCopy(value)) != std::string::npos;
}

// The first child of the kind whose "Name" the description holds; children without a name are
// passed over.
const XmlNode* FirstNamedMatch(const XmlNode* parent, const char* kind,
                               const std::string& description) {
    for (const XmlNode* child = parent->first_node(kind); child;
         child = child->next_sibling(kind)) {
        const char* name = AttributeText(child, "Name");
        if (name && DescriptionHolds(description, name))
            return child;
    }
    return nullptr;
}

std::uint32_t InfoPerf(const XmlNode* info) {
    const char* perf = AttributeText(info, "Perf");
    return perf ? static_cast<std::uint32_t>(std::atoi(perf)) : 0u;
}

}  // namespace

HardwareCapsList::HardwareCapsList() = default;
HardwareCapsList::~HardwareCapsList() = default;

bool HardwareCapsList::Load(const char* path) {
    document_.reset();
    auto document = std::make_unique<TiXmlDocument>();
    if (!path || !document->LoadFile(path))
        return false;
    document_ = std::move(document);
    return true;
}

std::uint32_t HardwareCapsList::LookUp(const std::string& description) const {
    const XmlNode* adapter = document_ ? document_->first_node("ADAPTER") : nullptr;
    if (!adapter)
        return kUnknownAdapter;
    const std::string lowered = LowerCaseCopy(description);
    const XmlNode* vendor = FirstNamedMatch(adapter, "Vender", lowered);
    const XmlNode* series = vendor ? FirstNamedMatch(vendor, "Series", lowered) : nullptr;
    if (!series)
        return kUnknownAdapter;
    std::uint32_t fallback = 0;
    for (const XmlNode* info = series->first_node("Info"); info;
         info = info->next_sibling("Info")) {
        const char* subType = AttributeText(info, "SubType");
        if (subType && !DescriptionHolds(lowered, subType))
            continue;
        const char* type = AttributeText(info, "Type");
        if (!type)
            continue;
        if (DescriptionHolds(lowered, type))
            return InfoPerf(info) | 0xFF000000u;
        if (std::string(type) == "-1#")
            fallback = InfoPerf(info);
    }
    return fallback | 0xFF000000u;
}

}  // namespace Zel
