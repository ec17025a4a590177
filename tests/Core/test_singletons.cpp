// Interface identifiers, the singleton manager and holder: ordering,
// creation on first request, shutdown, and misuse reported through the
// assertion and verification macros, whose reports are tested here too.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "API/core/FxAssert.h"
#include "API/core/cLog.h"
#include "publiclibraries/cSingletonManager.h"

// Named, so the report's function name is the same with every compiler.
namespace asserttest {
int AssertSite(int value) {
  FX_ASSERT(value == 3, "Value " << value << " is not three");
  return __LINE__ - 1;
}
int gEvaluations;
int VerifySite(int* entry) {
  FX_VERIFY((++gEvaluations, entry != 0), "Couldn't create the entry");
  return __LINE__ - 1;
}
}  // namespace asserttest

namespace {

const cGUID cIdA("BF37C8DE-E444-4036-9714-6098D5CC72A0");
const cGUID cIdB("00000001-0002-0003-0405-060708090a0b");

// A service that counts its destructions.
int gDestroyed;
struct cService : iInterfaceProvider, iInterface {
  explicit cService(int tag = 7) : mTag(tag) {}
  ~cService() override { ++gDestroyed; }
  int mTag;
};
iInterfaceProvider* Create() { return new cService(); }
int Tag(iInterfaceProvider* service) { return service ? static_cast<cService*>(service)->mTag : -1; }

// Takes the log's prompt, where failed assertions write their report.
std::string Prompt() {
  const std::u16string wide = cLog::GetLog().GetPromptText();
  cLog::GetLog() << &cLog::start_prompt;
  return std::string(wide.begin(), wide.end());
}

TEST(Assertion, FailedAssertionsWriteTheirReportAsAPromptAndVerificationsOnlyToAListeningViewer) {
  using namespace asserttest;
  Prompt();
  const std::string line = std::to_string(AssertSite(4));
  EXPECT_EQ("Value 4 is not three\r\n\r\nASSERT(value == 3);\r\n\r\nasserttest::AssertSite()\r\n\r\n" __FILE__
            " : " + line + "\r\n", Prompt());
  VerifySite(nullptr);  // no viewer: GetEnabled says no
  EXPECT_EQ("", Prompt());
  // A stand-in viewer, which ignores what it is sent.
  cLog::SetViewerPort([](const char*) -> void* { return &gEvaluations; }, [](void*, uint32_t, const void*, uint32_t) {});
  cLog::GetLog().findTicksee();
  int entry = 0;
  VerifySite(&entry);
  const std::string verifyLine = std::to_string(VerifySite(nullptr));
  EXPECT_EQ("Verify failed: \r\n\r\n" __FILE__ " : " + verifyLine +
                "\r\n\r\nExpression: (++gEvaluations, entry != 0)\r\n\r\nCouldn't create the entry\r\n",
            Prompt());
  cLog::SetViewerPort(nullptr, nullptr);
  cLog::GetLog().findTicksee();  // the process-wide log forgets the stand-in
  EXPECT_EQ(3, gEvaluations);  // once per call, failing or not
  // The function's name without return type and parameters, cut to its room.
  const struct { const char* mSignature; const char* mName; size_t mRoom; } names[] = {
      {"static void tHolder<T, C>::Destroy() [with T = cManager]", "tHolder<T, C>::Destroy", 256},
      {"void cFoo::operator()(int)", "cFoo::operator()", 256},
      {"cFoo::operator bool() const", "cFoo::operator bool", 256},
      {"void cFoo::Bar()", "cFoo", 5},
  };
  char out[256];
  for (const auto& n : names) EXPECT_STREQ(n.mName, (FxQualifiedFunctionName(n.mSignature, out, n.mRoom), out));
}

TEST(Guid, ComparesAndWritesItsLogFormWithTheEightLastBytesTogether) {
  cLog log;  // decimal mode is left on
  log << &cLog::start_prompt << cIdB << 10;
  EXPECT_EQ(u"{00000001-0002-0003-0405060708090a0b}10", std::u16string(log.GetPromptText()));
  EXPECT_TRUE(cIdA == cGUID("bf37c8de-e444-4036-9714-6098d5cc72a0") && cIdA != cIdB && cGUID("no guid").IsZero());
}

TEST(SingletonManager, OrdersEntriesStablyCreatesOnFirstRequestAndDestroysOwnedInstances) {
  gDestroyed = 0;
  cService services[3] = {cService(0), cService(1), cService(2)};
  {
    cSingletonManager manager;
    const uint32_t orders[] = {2, 0, 2};
    for (int i : {0, 1, 2}) manager.Register(cIdB, nullptr, &services[i], orders[i], false);
    manager.Register(cIdA, Create, nullptr, 1, true);
    std::vector<int> tags;
    for (const sSingletonEntry* entry : manager.GetEntries()) tags.push_back(Tag(entry->mInstance));
    EXPECT_EQ((std::vector<int>{1, -1, 0, 2}), tags);  // equal orders keep their order; nothing created yet
    iInterfaceProvider* created = manager.GetInstance(cIdA);
    EXPECT_TRUE(Tag(created) == 7 && manager.GetInstance(cIdA) == created);  // on the first request only
    EXPECT_TRUE(Tag(manager.GetInstance(cIdB)) == 1 && manager.GetInstance(cGUID()) == nullptr);
    sSingletonEntry stray = {cIdA, nullptr, nullptr, 0, 1};
    manager.RemoveEntry(&stray);  // not in the list: left alone
    manager.Register(cGUID(), nullptr, new cService(), 9, true);
    manager.RemoveEntry(manager.GetEntries().back());  // owned: its instance goes with it
    EXPECT_TRUE(manager.GetEntries().size() == 4 && gDestroyed == 1);
  }
  EXPECT_EQ(2, gDestroyed);  // the created instance; the others live on
}

TEST(SingletonManager, MisuseIsReportedAsAnAssertionAndIgnored) {
  cSingletonManager manager;
  Prompt();
  manager.Register(cIdA, nullptr, nullptr, 0, true);
  EXPECT_EQ(0u, Prompt().find("Can't register a singleton without either an instance or a creation routine\r\n\r\n"
                              "ASSERT(creator || instance);\r\n\r\ncSingletonManager::Register()\r\n\r\n"));
  manager.AddEntry(nullptr);
  EXPECT_EQ(0u, Prompt().find("Can't add a null entry\r\n\r\nASSERT(entry != 0);\r\n\r\ncSingletonManager::AddEntry"));
  manager.RemoveEntry(nullptr);
  EXPECT_EQ(0u, Prompt().find("Can't remove a null entry\r\n\r\nASSERT(entry != 0);\r\n\r\ncSingletonManager::Remove"));
  // The entry without instance or creator is kept and answers null.
  EXPECT_TRUE(manager.GetEntries().size() == 1 && manager.GetInstance(cIdA) == nullptr);
}

int gHeldCreations;
struct cHeld {
  static cHeld* CreateInstance() {
    static cHeld held;
    return ++gHeldCreations, &held;
  }
};
typedef tSingletonHolder<cHeld, CreateUsingStaticMemberFunction, DefaultLifetime> tHeld;

TEST(SingletonHolder, CreatesOnceComesBackAfterDestructionAndReportsDoubleDestruction) {
  Prompt();
  EXPECT_EQ(&tHeld::Instance(), &tHeld::Instance());
  tHeld::DestroySingleton();
  EXPECT_TRUE(Prompt().empty() && tHeld::StaticData::mInstance == nullptr);
  tHeld::Instance();
  EXPECT_TRUE(gHeldCreations == 2 && !tHeld::StaticData::mDestroyed);
  tHeld::DestroySingleton();
  tHeld::DestroySingleton();
  EXPECT_EQ(0u, Prompt().find("Attempting to destroy dead singleton\r\n\r\nASSERT(!StaticData::mDestroyed);"));
}

}  // namespace
