#include "WordValue.h"

#include <sstream>

namespace quillo_test {

std::string WordValue(const std::string& line, const std::string& name)
{
    std::istringstream words(line);
    std::string word;
    const std::string prefix = name + "=";
    while (words >> word) {
        if (word.rfind(prefix, 0) == 0) {
            return word.substr(prefix.size());
        }
    }
    return {};
}

} // namespace quillo_test
