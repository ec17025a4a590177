// Mounts the file layer once for the whole localisation test program: the
// visitors open their files through it.
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
