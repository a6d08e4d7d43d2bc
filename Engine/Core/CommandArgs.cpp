#include "Core/CommandArgs.h"

namespace Zel {

CommandArgs ParseCommandArgs(std::string_view text) {
    CommandArgs args;
    const std::size_t blank = text.find(' ');
    args.variable = std::string(text.substr(0, blank));
    const std::string_view rest = blank == std::string_view::npos ? text : text.substr(blank + 1);
    args.valueWord = std::string(rest.substr(0, rest.find(' ')));
    if (args.valueWord == "off") {
        args.on = 0;
    } else {
        args.valueText = args.valueWord;
    }
    return args;
}

}  // namespace Zel
