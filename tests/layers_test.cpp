// The build's layering check, run on a small tree: it must refuse a platform file that reaches
// up into a higher folder, and accept the same tree without that include.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/test_support.h"

namespace {

using testing_support::TempDir;

testing_support::ProcessResult checkLayers(const std::string& root) {
  return testing_support::run({CMAKE_COMMAND, "-DROOT=" + root, "-P",
                               testing_support::sourceDir() + "/cmake/check_layers.cmake"});
}

TEST(Layers, APlatformFileIncludingAHigherFolderIsRefused) {
  TempDir tree;
  for (const char* folder : {"platform", "platform/codecs", "icns"})
    ::mkdir((tree / folder).c_str(), 0755);
  testing_support::writeText(tree / "icns/icns.h", "#pragma once\n");
  testing_support::writeText(tree / "icns/reader.cpp", "#include \"platform/codecs/codecs.h\"\n");
  testing_support::writeText(tree / "platform/codecs/codecs.h", "#pragma once\n#include <span>\n");
  EXPECT_EQ(checkLayers(tree.path()).status, 0) << checkLayers(tree.path()).err;

  testing_support::writeText(tree / "platform/codecs/sniff.cpp",
                             "#include \"platform/codecs/codecs.h\"\n#include \"icns/icns.h\"\n");
  const auto refused = checkLayers(tree.path());
  EXPECT_NE(refused.status, 0);
  EXPECT_NE(refused.err.find("platform/codecs/sniff.cpp includes \"icns/icns.h\""),
            std::string::npos)
      << refused.err;
}

}  // namespace
