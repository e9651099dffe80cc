#pragma once

// What the command lines of the tools share: value checks whose messages say what a
// value must be, and the wording of the errors a user meets most.

#include <CLI/CLI.hpp>

#include <limits>
#include <string>

namespace tools {

// Bounds of a number switch; the lower one may be excluded ("above 0").
struct NumberBounds {
    double low = -std::numeric_limits<double>::infinity();
    bool lowIncluded = true;
    double high = std::numeric_limits<double>::infinity();
};

// Reads a whole string as a finite decimal number.
bool ParseFiniteNumber(const std::string& text, double* value);

// A finite decimal number within `bounds`: "'0' is not a number above 0 and at most 10000".
CLI::Validator Number(NumberBounds bounds);

// A decimal integer from `low` to `high`: "'-5' is not an integer from 1 to 1000000" (with no
// upper bound, "of at least 1").
CLI::Validator Integer(long long low, long long high);

// The one-line error for `error`, prefixed with the program's name. A switch without its value,
// an unknown switch and two switches that exclude each other get plain words; other errors keep
// CLI11's text.
std::string DescribeParseError(const CLI::App& app, const CLI::ParseError& error);

enum class ParseOutcome {
    kRun,              // the options are set
    kShowInformation,  // --help or --version: print `message` on standard output, exit with 0
    kBadArguments,     // print `message` on standard error, exit with the tool's usage code
};

// Parses argv into what `app` binds.
ParseOutcome ParseCommandLine(CLI::App& app, int argc, const char* const* argv,
                              std::string* message);

}  // namespace tools
