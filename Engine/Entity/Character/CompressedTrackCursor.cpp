#include "Entity/Character/CompressedTrackCursor.h"

#include <cstring>

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
        std::memcpy(positions_[0], positions_[1], sizeof(positions_[0]));
        std::memcpy(rotations_[0], rotations_[1], sizeof(rotations_[0]));
    } else {
        fault = decoder_->DecodeFrame(*this, f, positions_[0], rotations_[0]);
    }
    if (fault == CodecFault::None && f + 1 < d->frameCount)
        fault = decoder_->DecodeFrame(*this, f + 1, positions_[1], rotations_[1]);
    cachedFrame_ = fault == CodecFault::None ? static_cast<std::int64_t>(f) : -1;
    return fault;
}

}  // namespace Zel
