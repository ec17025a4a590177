// Mounts the file layer once for a whole test program whose code opens
// files through it. Compiled into the suites that need it (tests/CMakeLists.txt),
// not into the support library, where the linker would drop it.
#include <gtest/gtest.h>

#include "xml/cFxFile.h"

namespace {
class cFileSystemEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(InitFileSystems()); }
  void TearDown() override { ShutdownFileSystems(); }
};

::testing::Environment* const gFileSystemEnvironment =
    ::testing::AddGlobalTestEnvironment(new cFileSystemEnvironment);
}  // namespace
