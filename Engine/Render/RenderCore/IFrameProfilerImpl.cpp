#include "Render/RenderCore/IFrameProfilerImpl.h"

#include <algorithm>

#include "Core/FrameStats.h"
#include "Core/Globals.h"

namespace Zel {
namespace {

static_assert(sizeof(ZelI::FrameStatistics) == sizeof(FrameStats));

std::uint32_t* Raise(FrameStatWord word) {
    FrameStats* stats = Globals::Find(&Globals::GetFrameStats);
    if (!stats)
        return nullptr;
    ++(*stats)[word];
    return &stats->words[word];
}

}  // namespace

ZelI::FrameStatistics IFrameProfilerImpl::GetFrameStatistics() {
    ZelI::FrameStatistics out;
    if (FrameStats* stats = Globals::Find(&Globals::GetFrameStats)) {
        stats->UpdateSums();
        std::copy(std::begin(stats->words), std::end(stats->words), std::begin(out.words));
    }
    return out;
}

std::uint32_t* IFrameProfilerImpl::AddCounter0() {
    return Raise(FRAME_HOST_COUNTER_0);
}

std::uint32_t* IFrameProfilerImpl::AddCounter1() {
    return Raise(FRAME_HOST_COUNTER_1);
}

std::uint32_t* IFrameProfilerImpl::AddCounter2() {
    return Raise(FRAME_HOST_COUNTER_2);
}

}  // namespace Zel
