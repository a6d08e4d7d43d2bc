// Finding elements and attributes in a parsed document (TiXmlDocument). Names are compared byte
// for byte, case-sensitive and whole. A null node gives null.
#pragma once

#include "Core/TiXmlDocument.h"

namespace Zel {

// The first child of the node that is an element with that name; null when there is none.
XmlNode* XmlChildElementByName(const XmlNode* node, const char* name);
// The next sibling of the node that is an element with that name; null when there is none.
XmlNode* XmlNextElementByName(const XmlNode* node, const char* name);
// The same under the name the model and material readers use.
inline XmlNode* XmlNextSiblingElementByName(const XmlNode* node, const char* name) {
    return XmlNextElementByName(node, name);
}
// The value of the node's attribute of that name ("" for an attribute without a value); null
// when the node has no such attribute.
const char* XmlAttributeValue(const XmlNode* node, const char* name);
// The element's text (its character data, entities translated); "" when it has none.
const char* XmlElementText(const XmlNode* node);

}  // namespace Zel
