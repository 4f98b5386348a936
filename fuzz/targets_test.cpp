// Every input the fuzzers ever stopped on, run through the same code again.
#include "fuzz/targets.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

TEST(FuzzRegressions, KeptFindingsRunCleanly) {
  const std::string root = testing_support::sourceDir() + "/fuzz/regressions/";
  const struct {
    const char* target;
    void (*run)(std::span<const uint8_t>);
  } targets[] = {{"icns_codec", fuzzing::icnsCodec},
                 {"image_loader", fuzzing::imageLoader},
                 {"color_parser", fuzzing::colorParser},
                 {"option_parser", fuzzing::optionParser}};
  size_t ran = 0;
  for (const auto& t : targets)
    for (const std::string& name : testing_support::listDirectory(root + t.target)) {
      if (name.starts_with(".")) continue;
      SCOPED_TRACE(std::string(t.target) + "/" + name);
      t.run(testing_support::readBytes(root + t.target + "/" + name));
      ++ran;
    }
  EXPECT_GT(ran, 0u) << "no kept findings under " << root;
}

}  // namespace
