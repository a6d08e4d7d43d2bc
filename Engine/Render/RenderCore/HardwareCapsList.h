// The hardware capability list: from an adapter description to the performance value the host
// chooses its quality settings by. Host thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace Zel {

class TiXmlDocument;

class HardwareCapsList {
public:
    HardwareCapsList();
    ~HardwareCapsList();
    HardwareCapsList(const HardwareCapsList&) = delete;
    HardwareCapsList& operator=(const HardwareCapsList&) = delete;

    // Where the host ships the list, relative to the working directory.
    static constexpr const char* kPath = "./config/hwcap.xml";
    // The answer when no vendor and series of the list match (or the list cannot be read).
    static constexpr std::uint32_t kUnknownAdapter = 0xFF000001u;

    // Reads the list at path; false when it cannot be read or parsed (nothing is kept).
    bool Load(const char* path);
    // The performance value for the description: the "Perf" of the first matching "Info" of the
    // first matching vendor and series (the series' "-1#" default, or 0, when no "Info"
    // matches) ORed with 0xFF000000; kUnknownAdapter when no vendor and series match or nothing
    // was loaded. Names match as case-insensitive parts of the description, compared whole.
    std::uint32_t LookUp(const std::string& description) const;

private:
    std::unique_ptr<TiXmlDocument> document_;  // null when none was loaded
};

}  // namespace Zel
