// An nvtt output handler that keeps everything nvtt writes, for benchmarks that call nvtt
// directly as their anchor.
#pragma once

#include <nvtt/nvtt.h>

#include <cstdint>
#include <vector>

namespace BenchNvtt {

struct Collect : nvtt::OutputHandler {
    std::vector<std::uint8_t> bytes;
    void beginImage(int, int, int, int, int, int) override {}
    bool writeData(const void* data, int size) override {
        const auto* p = static_cast<const std::uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
        return true;
    }
};

}  // namespace BenchNvtt
