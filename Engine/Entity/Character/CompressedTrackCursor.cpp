#include "Entity/Character/CompressedTrackCursor.h"

#include <algorithm>
#include <iterator>

namespace Zel {

void CompressedTrackCursor::Bind(const CDecompress* decoder, std::uint32_t track) {
    *this = CompressedTrackCursor();
    decoder_ = decoder;
    track_ = track;
}

CodecFault CompressedTrackCursor::MoveTo(std::uint32_t f) {
    const TrackDescriptor* d = decoder_ ? decoder_->FindTrackDescriptor(track_) : nullptr;
    if (!d)
        return CodecFault::TrackOutOfRange;
    if (f >= d->frameCount)
        return CodecFault::FrameOutOfRange;
    if (cachedFrame_ == f)
        return CodecFault::None;
    CodecFault fault = CodecFault::None;
    if (cachedFrame_ >= 0 && f == cachedFrame_ + 1) {
        std::copy(std::begin(positions_[1]), std::end(positions_[1]), positions_[0]);
        std::copy(std::begin(rotations_[1]), std::end(rotations_[1]), rotations_[0]);
    } else {
        fault = decoder_->DecodeFrame(*this, f, positions_[0], rotations_[0]);
    }
    if (fault == CodecFault::None && f + 1 < d->frameCount)
        fault = decoder_->DecodeFrame(*this, f + 1, positions_[1], rotations_[1]);
    cachedFrame_ = fault == CodecFault::None ? static_cast<std::int64_t>(f) : -1;
    return fault;
}

}  // namespace Zel
