// The argument text of a debug command, parsed: "<variable> <value word> ...".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Zel {

struct CommandArgs {
    std::string variable;
    std::string valueWord;
    std::int32_t on = 1;  // 0 only for the value word "off"
    float floatValue = 0.0f;
    std::string valueText;  // the value word, empty for "off"
};

// The variable is the text up to its first blank (all of it without one); the value word is the
// first word after that blank, or the whole text when there is no blank. Only "off" switches off:
// "draw actor" alone, "draw actor on" and "draw actor 0" all switch on.
CommandArgs ParseCommandArgs(std::string_view text);

}  // namespace Zel
