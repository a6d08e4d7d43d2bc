#include "GoldenBytes.h"

#include <stdexcept>

namespace ZelTest {

std::vector<std::uint8_t> Hex(const std::string& text) {
    std::vector<std::uint8_t> out;
    std::string digits;
    for (char c : text)
        if (c != ' ' && c != '\n' && c != '|') digits += c;
    if (digits.size() % 2) throw std::invalid_argument("odd hex string");
    for (std::size_t i = 0; i < digits.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return out;
}

Golden& Golden::At(std::size_t offset, const std::string& hex) {
    std::vector<std::uint8_t> b = Hex(hex);
    for (std::size_t i = 0; i < b.size(); ++i) bytes_.at(offset + i) = b[i];
    return *this;
}

std::vector<std::uint8_t> Join(const std::vector<std::vector<std::uint8_t>>& pieces) {
    std::vector<std::uint8_t> out;
    for (const auto& p : pieces) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::string Zeros(std::size_t count) { return std::string(2 * count, '0'); }

std::string FirstDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return "first difference at byte " + std::to_string(i);
    if (a.size() != b.size())
        return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
    return "equal";
}

}  // namespace ZelTest
