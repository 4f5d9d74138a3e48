// placeholder_numbers and placeholder_list.
#include "placeholders.h"

#include "tool.h"

#include <algorithm>
#include <cctype>

namespace tool {

std::set<std::size_t> placeholder_numbers(const std::string &text) {
    std::set<std::size_t> numbers;
    for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at)) {
        if (at + 1 < text.size() && text[at + 1] == '%') {
            at += 2;
            continue;
        }
        std::size_t end = at + 1;
        std::size_t number = 0;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])) &&
               number <= max_arguments)
            number = number * 10 + static_cast<std::size_t>(text[end++] - '0');
        if (number < 1 || number > max_arguments || end >= text.size())
            throw Failure("invalid placeholder '" +
                          text.substr(at, std::min<std::size_t>(end + 1, text.size()) - at) +
                          "' in the template '" + text + "': placeholders are %1! to %" +
                          std::to_string(max_arguments) + "! (%% is a percent sign)");
        numbers.insert(number);
        at = end + 1;
    }
    return numbers;
}

std::string placeholder_list(const std::set<std::size_t> &numbers) {
    std::string text;
    for (const std::size_t number : numbers)
        text += (text.empty() ? "%" : " %") + std::to_string(number) + "!";
    return text;
}

} // namespace tool
