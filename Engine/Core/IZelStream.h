// Base of the read-only byte streams through which every binary model, skeleton, action and
// animation file is read. A stream has a name (the path it was made for), a size and a position.
//
// Out-of-range rules, shared by every kind:
//  - Read copies only the bytes that lie inside the data, zero-fills the rest of the request and
//    answers the bytes delivered. The position still advances by the full request; when it ends
//    above the size, or the source delivers less than lies inside it, the overrun is logged
//    (type 13, "ZelFileStream 越界,filename=<name>").
//  - Seek to a target above the size (or before the start) logs the overrun, leaves the position
//    and answers false; a target equal to the size is allowed.
//  - Every overrun also sets a sticky flag that only ClearOverrun resets, so that a reader which
//    does not test each read count can still refuse a short file once its read is done.
// A stream is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>

#include "Core/RefCountedObj.h"

namespace Zel {

enum StreamOrigin : int {
    STREAM_SEEK_SET = 0,  // position = offset
    STREAM_SEEK_CUR = 1,  // position += offset
    STREAM_SEEK_END = 2,  // position = size - offset (the offset counts back from the end)
};

class IZelStream : public RefCountedObj {
public:
    explicit IZelStream(std::string name) : name_(std::move(name)) {}
    // Closes the source.
    ~IZelStream() override = default;

    // Closes the source and deletes the stream.
    virtual void Release();
    // Size of the whole source in bytes.
    virtual std::uint32_t GetSize() const = 0;
    virtual bool Seek(std::int64_t offset, int origin);
    virtual std::uint32_t Tell() const { return position_; }
    // Address of the byte at the position for streams held in memory (at the end, the address
    // one past the last byte; null for an empty stream); null for the other kinds.
    virtual const std::uint8_t* GetCurrentPointer() { return nullptr; }
    // Reads size x count bytes; a request whose byte count does not fit in 32 bits is refused
    // (logged as an overrun, nothing written, position unchanged, answer 0).
    virtual std::uint32_t Read(void* buffer, std::uint32_t size, std::uint32_t count);
    virtual std::uint32_t Read(void* buffer, std::uint32_t n);

    const std::string& GetName() const { return name_; }
    // True once any read or seek has run past the data (see above).
    bool HasOverrun() const { return overrun_; }
    void ClearOverrun() { overrun_ = false; }

protected:
    // Copies n bytes of the source starting at the position into the buffer; the range lies
    // inside the source. Answers the bytes delivered.
    virtual std::uint32_t ReadSource(void* buffer, std::uint32_t position, std::uint32_t n) = 0;
    // Moves the source to the position (at most the size); sources without a position of their
    // own ignore it.
    virtual void SeekSource(std::uint32_t) {}

private:
    void LogOverrun();

    std::uint32_t position_ = 0;
    bool overrun_ = false;
    std::string name_;
};

}  // namespace Zel
