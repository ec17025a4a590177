// Interface identifiers, the singleton manager and holder: ordering,
// creation on first request, shutdown, and misuse reported as assertions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "API/core/cLog.h"
#include "publiclibraries/cSingletonManager.h"

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
  const std::string removed = Prompt();
  EXPECT_EQ(0u, removed.find("Can't remove a null entry\r\n\r\nASSERT(entry != 0);\r\n\r\ncSingletonManager::Remove"));
  EXPECT_NE(std::string::npos, removed.find("cSingletonManager.cpp : ")) << removed;  // the place in the source
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
