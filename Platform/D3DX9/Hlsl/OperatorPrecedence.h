// Binding strength of the binary operators shared by effect expressions and #if expressions
// (C's order): 1 for "||" up to 10 for "*", "/" and "%"; 0 for anything else.
#pragma once

#include <string_view>

namespace Hlsl {

inline int BinaryPrecedence(std::string_view op) {
    static constexpr std::string_view kLevels[][4] = {{"||"},
                                                      {"&&"},
                                                      {"|"},
                                                      {"^"},
                                                      {"&"},
                                                      {"==", "!="},
                                                      {"<", ">", "<=", ">="},
                                                      {"<<", ">>"},
                                                      {"+", "-"},
                                                      {"*", "/", "%"}};
    for (int i = 0; i < 10; ++i)
        for (std::string_view o : kLevels[i])
            if (!o.empty() && op == o)
                return i + 1;
    return 0;
}

constexpr int kBinaryPrecedenceLevels = 10;

}  // namespace Hlsl
