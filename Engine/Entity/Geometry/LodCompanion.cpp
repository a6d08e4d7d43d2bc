#include "Entity/Geometry/LodCompanion.h"

namespace Zel {
namespace {
thread_local const LodCompanion* t_current = nullptr;
}

LodCompanion::LodCompanion(std::string fileName, IZelStream* stream)
    : fileName_(std::move(fileName)), stream_(stream), previous_(t_current) {
    t_current = this;
}

LodCompanion::~LodCompanion() {
    t_current = previous_;
}

const LodCompanion* LodCompanion::Current() {
    if (!t_current || t_current->fileName_.empty() || !t_current->stream_)
        return nullptr;
    return t_current;
}

}  // namespace Zel
