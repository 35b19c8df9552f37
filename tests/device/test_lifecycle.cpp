#include <gtest/gtest.h>

#include "device/configuration.h"
#include "interface/lifecycle.h"

namespace quillmark {
namespace {

TEST(XmldeviceUnit, InitializeAndFinalizeAreCountedInPairs) {
  const int32_t before = Xmldevice::ReferenceCount();
  Xmldevice::Initialize();
  Xmldevice::Initialize();
  EXPECT_EQ(Xmldevice::ReferenceCount(), before - 2);
  Xmldevice::Finalize();
  EXPECT_EQ(Xmldevice::ReferenceCount(), before - 1);
  Xmldevice::Finalize();
  EXPECT_EQ(Xmldevice::ReferenceCount(), before);
}

TEST(ModuleEntry, EveryReasonReportsSuccess) {
  for (int32_t reason : {kProcessDetach, kProcessAttach, 2, 3, 99, -1}) {
    SCOPED_TRACE(reason);
    EXPECT_EQ(ModuleEntry(reason), 1);
  }
}

TEST(ModuleEntry, AttachLoadsAFreshConfigurationAndOthersLeaveItAlone) {
  const auto before = currentConfiguration();
  ModuleEntry(2);
  ModuleEntry(3);
  ModuleEntry(kProcessDetach);
  EXPECT_EQ(currentConfiguration(), before);
  ModuleEntry(kProcessAttach);
  const auto after = currentConfiguration();
  ASSERT_NE(after, nullptr);
  EXPECT_NE(after, before);
  EXPECT_NE(after->defaultDevice, nullptr);
}

}  // namespace
}  // namespace quillmark
