// The older read/write stream of the serialisers: a named, reference-counted stream with an
// abstract interface (FileDataStream implements it over a file). One thread at a time.
#pragma once

#include <cstdint>
#include <string>

#include "Core/RefCountedObj.h"

namespace Zel {

enum DataStreamMode : int {
    DATASTREAM_READ = 0,    // "r"
    DATASTREAM_WRITE = 1,   // "w"
    DATASTREAM_APPEND = 2,  // "a"
};

class DataStream : public RefCountedObj {
public:
    DataStream() = default;
    // Subclasses close an open source the way it was opened.
    ~DataStream() override = default;

    // Closes the stream when it is open, stores the path and opens it in the mode (text or
    // binary); false when it cannot be opened, and the stream stays closed.
    virtual bool Open(int mode, bool text, const std::string& path) = 0;
    // Reads one block of `size` bytes; answers the whole blocks read (1 or 0).
    virtual std::size_t Read(void* buffer, std::size_t size) = 0;
    // Writes one block of `size` bytes; answers the whole blocks written (1 or 0).
    virtual std::size_t Write(const void* buffer, std::size_t size) = 0;
    virtual bool OpenImpl(int mode, bool text) = 0;
    virtual void Close() = 0;
    virtual bool IsClosed() const = 0;
    // Moves the position by n bytes (backwards for n < 0); nothing when closed.
    virtual void Skip(std::int64_t n) = 0;

    const std::string& GetName() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    // The file's byte size while open, 0 when closed.
    std::uint32_t GetSize() const { return size_; }

protected:
    std::uint32_t size_ = 0;
    std::string name_ = "UnNamedStream";
};

}  // namespace Zel
