#pragma once
#include <string>
#include <vector>

// The converter's command line:
//   iconutil -c icns [-o FILE] DIR.iconset
//   iconutil -c iconset [-o DIR] FILE.icns
// The result is built beside the output and renamed into place, so a failure leaves nothing at
// the output path and an existing file there untouched.
struct IconutilOutcome {
  int status;           // 0 on success
  std::string message;  // one line for standard error on failure
};

IconutilOutcome runIconutil(const std::vector<std::string>& arguments);

// The entry: arguments after the program name; writes the message in one write.
int iconutilMain(int argc, const char* const* argv);
