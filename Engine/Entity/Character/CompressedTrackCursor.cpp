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

bool CompressedTrackCursor::PlaysOnTo(std::uint32_t f) const {
    const TrackDescriptor* d = decoder_ ? decoder_->FindTrackDescriptor(track_) : nullptr;
    return d && cachedFrame_ >= 0 && f == cachedFrame_ + 1 && lastFrame_ == f &&
           f + 1 < d->frameCount;
}

CodecFault CompressedTrackCursor::MoveTo(std::span<CompressedTrackCursor> cursors,
                                         std::uint32_t f) {
    CodecFault first = CodecFault::None;
    auto note = [&first](CodecFault fault) {
        if (first == CodecFault::None)
            first = fault;
    };
    CompressedTrackCursor* batch[CDecompress::kLanes];
    unsigned n = 0;
    auto flush = [&] {
        bool ok[CDecompress::kLanes];
        batch[0]->decoder_->AdvanceCursors(batch, n, ok);
        // A refused track is decoded again the plain way, which refuses it for the same reason.
        for (unsigned i = 0; i < n; ++i) {
            if (!ok[i])
                note(batch[i]->MoveTo(f));
        }
        n = 0;
    };
    for (CompressedTrackCursor& cursor : cursors) {
        if (!cursor.PlaysOnTo(f)) {
            note(cursor.MoveTo(f));
            continue;
        }
        if (n != 0 && cursor.decoder_ != batch[0]->decoder_)
            flush();
        batch[n++] = &cursor;
        if (n == CDecompress::kLanes)
            flush();
    }
    if (n != 0)
        flush();
    return first;
}

}  // namespace Zel
