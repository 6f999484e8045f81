// Numeric options read strictly: CLI11 alone takes "" as 0, "0x10" as 16 and
// wraps "-1" into a huge unsigned value, so a mistyped number would pass.
#pragma once
#include <CLI/CLI.hpp>

// Accepts one to nineteen decimal digits and nothing else.
extern const CLI::Validator decimalNumber;
