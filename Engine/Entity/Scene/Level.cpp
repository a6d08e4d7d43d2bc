#include "Entity/Scene/Level.h"

#include "Entity/Scene/SpatialNode.h"

namespace Zel {

void Level::InsertNode(SceneNode* node) {
    if (!node)
        return;
    if (SpatialNode* cell = node->GetSpatialCell()) {
        cell->Remove(node);
        node->SetSpatialCell(nullptr);
    }
}

}  // namespace Zel
