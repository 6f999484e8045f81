#include "number_option.h"

#include <string>

namespace {

// Nineteen digits always fit 64 bits; the option's own type refuses more.
const size_t maxDigits = 19;

std::string DecimalProblem(std::string& text)
{
    if (text.empty()) {
        return "an empty value is not a number";
    }
    if (text.size() > maxDigits || text.find_first_not_of("0123456789") != std::string::npos) {
        return "'" + text + "' is not a decimal number";
    }
    return "";
}

}  // namespace

const CLI::Validator decimalNumber(DecimalProblem, "DECIMAL", "decimal number");
