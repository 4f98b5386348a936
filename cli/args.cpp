#include "cli/args.h"

#include "platform/unicode/unicode.h"

Args parseArgs(int argc, const char* const* argv) {
  Args args;
  const int n = argc;
  for (int i = 1; i < n;) {
    const std::string token = platform::decodeUtf8Lossy(argv[i]);
    std::optional<std::string> bytes, value;
    if (i + 1 < n) {
      bytes = argv[i + 1];
      value = platform::decodeUtf8Lossy(*bytes);
    }
    if (token == "--input") {
      args.input = bytes;
    } else if (token == "--output") {
      args.output = bytes;
    } else if (token == "--label") {
      args.label = value.value_or("");
    } else if (token == "--color") {
      if (value) args.color = *value;
    } else {
      i += 1;
      continue;
    }
    i += 2;
  }
  return args;
}
