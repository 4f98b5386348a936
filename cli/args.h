#pragma once
#include <optional>
#include <string>

// The parsed command-line options. Paths are optional: absent differs from empty.
struct Args {
  std::optional<std::string> input;
  std::optional<std::string> output;
  std::string label;
  std::string color = "#2563EB";

  Args() = default;
  Args(std::optional<std::string> input, std::optional<std::string> output, std::string label = "",
       std::string color = "#2563EB")
      : input(std::move(input)),
        output(std::move(output)),
        label(std::move(label)),
        color(std::move(color)) {}

  bool operator==(const Args&) const = default;
};

// Reads the process argument list (argv[0] is never examined). Options, labels and colours are
// decoded as UTF-8 with U+FFFD for ill-formed bytes; the two paths keep their bytes, since a file
// name is bytes, and are decoded only where they are shown. Never fails: unknown tokens are
// skipped one at a time, and a recognised option always consumes the next argument as its value
// when there is one.
Args parseArgs(int argc, const char* const* argv);
