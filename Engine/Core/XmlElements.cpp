#include "Core/XmlElements.h"

#include <cstring>

namespace Zel {
namespace {

bool NameIs(const char* actual, std::size_t actualSize, const char* name) {
    return std::strlen(name) == actualSize && std::memcmp(actual, name, actualSize) == 0;
}

bool IsElementNamed(const XmlNode* node, const char* name) {
    return node->type() == rapidxml::node_element && NameIs(node->name(), node->name_size(), name);
}

}  // namespace

XmlNode* XmlChildElementByName(const XmlNode* node, const char* name) {
    if (!node || !name)
        return nullptr;
    for (XmlNode* child = node->first_node(); child; child = child->next_sibling()) {
        if (IsElementNamed(child, name))
            return child;
    }
    return nullptr;
}

XmlNode* XmlNextElementByName(const XmlNode* node, const char* name) {
    if (!node || !name)
        return nullptr;
    for (XmlNode* sibling = node->next_sibling(); sibling; sibling = sibling->next_sibling()) {
        if (IsElementNamed(sibling, name))
            return sibling;
    }
    return nullptr;
}

const char* XmlAttributeValue(const XmlNode* node, const char* name) {
    if (!node || !name)
        return nullptr;
    for (XmlAttribute* attribute = node->first_attribute(); attribute;
         attribute = attribute->next_attribute()) {
        if (NameIs(attribute->name(), attribute->name_size(), name))
            return attribute->value();
    }
    return nullptr;
}

const char* XmlElementText(const XmlNode* node) {
    return node ? node->value() : nullptr;
}

}  // namespace Zel
