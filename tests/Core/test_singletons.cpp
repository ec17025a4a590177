// Interface identifiers, the singleton manager and holder, and the metadata
// registry as a service: ordering, creation on first request, shutdown, and
// the trace and assertion texts they write to the log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "API/core/cDeltaMetaDataRegistry.h"
#include "API/core/cGUID.h"
#include "API/core/cLog.h"
#include "publiclibraries/cSingletonManager.h"

namespace {

const char cIdA[] = "BF37C8DE-E444-4036-9714-6098D5CC72A0";
const char cIdB[] = "2B4B0201-0B3E-46b9-A787-1ED25E7E2555";
const char cIdC[] = "00000001-0002-0003-0405-060708090a0b";

// A service that counts its creations and destructions.
int gCreated;
int gDestroyed;
class cCountedService : public iInterfaceProvider, public iInterface {
 public:
  explicit cCountedService(int tag = 0) : mTag(tag) { ++gCreated; }
  ~cCountedService() override { ++gDestroyed; }
  int mTag;
};
iInterfaceProvider* CreateCounted() { return new cCountedService(7); }
int Tag(iInterfaceProvider* service) { return static_cast<cCountedService*>(service)->mTag; }

// A stand-in log viewer listening to every filter; texts are joined.
std::string gViewerText;
int gViewerHandle;
void* FindViewer(const char*) { return &gViewerHandle; }
void Receive(void*, uint32_t kind, const void* data, uint32_t size) {
  if (kind == kLog::cSendText && size > 0) gViewerText.append(static_cast<const char*>(data), size - 1);
}

// Whether the log's prompt holds the assertion report's head and names the
// place in the manager's or holder's source.
::testing::AssertionResult Reported(const std::string& head, const std::string& place) {
  const std::u16string wide = cLog::GetLog().GetPromptText();
  const std::string prompt(wide.begin(), wide.end());
  if (prompt.compare(0, head.size(), head) == 0 && prompt.find(place) != std::string::npos) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << prompt;
}

class Singletons : public ::testing::Test {
 protected:
  void SetUp() override {
    gCreated = gDestroyed = 0;
    cLog::GetLog() << &cLog::start_prompt;
  }
  void TearDown() override {
    cLog::SetViewerPort(nullptr, nullptr);
    cLog::GetLog().findTicksee();  // forgets the stand-in viewer
    cLog::GetLog().setFilters("", true);
  }
};

TEST_F(Singletons, GuidsParseCompareAndWriteTheirTwoTextForms) {
  const cGUID a(cIdA);
  EXPECT_TRUE(a == cGUID("bf37c8de-e444-4036-9714-6098d5cc72a0") && a != cGUID(cIdB));  // hex case does not matter
  EXPECT_STREQ("bf37c8de-e444-4036-9714-6098d5cc72a0", a.ToString().c_str());
  EXPECT_TRUE(cGUID("not a guid").IsZero() && !a.IsZero());
  // The log form runs the eight last bytes together and leaves decimal mode on.
  cLog log;
  log << &cLog::start_prompt << cGUID(cIdC) << 10;
  EXPECT_EQ(u"{00000001-0002-0003-0405060708090a0b}10", std::u16string(log.GetPromptText()));
}

TEST_F(Singletons, EntriesAreSortedByOrderKeepingRegistrationOrderForEqualOnes) {
  const struct { std::vector<uint32_t> mOrders; std::vector<int> mTags; } cases[] = {
      {{5, 1, 3}, {1, 2, 0}},  // registration indices in the expected list order
      {{2, 0, 2, 1, 2}, {1, 3, 0, 2, 4}},
      {{4, 4, 4}, {0, 1, 2}},
  };
  for (const auto& c : cases) {
    cSingletonManager manager;
    std::vector<cCountedService> services(c.mOrders.size());
    for (size_t i = 0; i < c.mOrders.size(); ++i) {
      services[i].mTag = static_cast<int>(i);
      manager.Register(cGUID(cIdC), nullptr, &services[i], c.mOrders[i], false);
    }
    std::vector<int> tags;
    for (const sSingletonEntry* entry : manager.GetEntries()) {
      tags.push_back(Tag(static_cast<iInterfaceProvider*>(entry->mInstance)));
      EXPECT_EQ(c.mOrders[tags.back()], entry->mOrder);
    }
    EXPECT_EQ(c.mTags, tags);
    EXPECT_EQ(c.mTags[0], Tag(manager.GetInstance(cGUID(cIdC))));  // the first in order answers
  }
}

TEST_F(Singletons, CreatorRunsOnTheFirstRequestOnlyAndShutdownDestroysOwnedInstances) {
  cCountedService notOwned;
  {
    cSingletonManager manager;
    manager.Register(cGUID(cIdA), CreateCounted, nullptr, 3, true);
    manager.Register(cGUID(cIdB), nullptr, &notOwned, 1, false);
    EXPECT_EQ(1, gCreated);  // notOwned only
    EXPECT_TRUE(manager.GetInstance(cGUID(cIdC)) == nullptr && manager.GetInstance(cGUID()) == nullptr);
    iInterfaceProvider* created = manager.GetInstance(cGUID(cIdA));
    ASSERT_NE(nullptr, created);
    EXPECT_EQ(7, Tag(created));
    EXPECT_EQ(created, manager.GetInstance(cGUID(cIdA)));
    EXPECT_EQ(2, gCreated);
    EXPECT_EQ(&notOwned, manager.GetInstance(cGUID(cIdB)));
    // Removing: an entry not in the list is left alone; an owned one takes
    // its instance with it.
    sSingletonEntry stray = {cGUID(cIdA), nullptr, nullptr, 0, 1};
    manager.RemoveEntry(&stray);
    manager.Register(cGUID(cIdC), nullptr, new cCountedService(), 9, true);
    manager.RemoveEntry(manager.GetEntries().back());
    EXPECT_EQ(2u, manager.GetEntries().size());
    EXPECT_EQ(1, gDestroyed);
    EXPECT_EQ(nullptr, manager.GetInstance(cGUID(cIdC)));

    cLog::SetViewerPort(FindViewer, Receive);
    cLog::GetLog().findTicksee();
    cLog::GetLog().setFilters("Singleton", true);
    gViewerText.clear();
    manager.Register(cGUID(cIdC), nullptr, &notOwned, 4000000000u, false);
  }
  EXPECT_EQ(2, gDestroyed);  // the created instance; notOwned lives on
  // Traces name the place in the manager's source, the identifier and the order.
  for (const char* trace : {"cSingletonManager.cpp : ",
                            " = Registering Singleton {00000001-0002-0003-0405060708090a0b}:4000000000\r\n",
                            " = Deleting Singleton {bf37c8de-e444-4036-97146098d5cc72a0}:3\r\n"}) {
    EXPECT_NE(std::string::npos, gViewerText.find(trace)) << gViewerText;
  }
  EXPECT_EQ(0u, gViewerText.find("Trace "));
  EXPECT_EQ(std::string::npos, gViewerText.find("{2b4b0201"));  // not owned: no trace
}

TEST_F(Singletons, MisuseIsReportedAsAssertionsAndIgnored) {
  cSingletonManager manager;
  manager.Register(cGUID(cIdA), nullptr, nullptr, 0, true);
  EXPECT_TRUE(Reported("Can't register a singleton without either an instance or a creation routine\r\n\r\n"
                       "ASSERT(creator || instance);\r\n\r\ncSingletonManager::Register()\r\n\r\n",
                       "cSingletonManager.cpp : "));
  cLog::GetLog() << &cLog::start_prompt;
  manager.AddEntry(nullptr);
  EXPECT_TRUE(Reported("Can't add a null entry\r\n\r\nASSERT(entry != 0);\r\n\r\ncSingletonManager::AddEntry()\r\n\r\n",
                       "cSingletonManager.cpp : "));
  cLog::GetLog() << &cLog::start_prompt;
  manager.RemoveEntry(nullptr);
  EXPECT_TRUE(Reported("Can't remove a null entry\r\n\r\nASSERT(entry != 0);\r\n\r\ncSingletonManager::RemoveEntry()\r\n\r\n",
                       "cSingletonManager.cpp : "));
  // The entry without instance or creator is kept and answers null.
  EXPECT_EQ(1u, manager.GetEntries().size());
  EXPECT_EQ(nullptr, manager.GetInstance(cGUID(cIdA)));
}

// A holder over a service of its own.
int gHeldCreations;
struct cHeldService {
  static cHeldService* CreateInstance() {
    static cHeldService service;
    return ++gHeldCreations, &service;
  }
};
typedef tSingletonHolder<cHeldService, CreateUsingStaticMemberFunction, DefaultLifetime> tHeld;

TEST_F(Singletons, HolderCreatesOnceComesBackAfterDestructionAndReportsDoubleDestruction) {
  gHeldCreations = 0;
  EXPECT_EQ(&tHeld::Instance(), &tHeld::Instance());
  tHeld::DestroySingleton();
  EXPECT_TRUE(tHeld::StaticData::mDestroyed && tHeld::StaticData::mInstance == nullptr);
  EXPECT_EQ(u"", std::u16string(cLog::GetLog().GetPromptText()));
  tHeld::Instance();
  EXPECT_FALSE(tHeld::StaticData::mDestroyed);
  EXPECT_EQ(2, gHeldCreations);
  tHeld::DestroySingleton();
  tHeld::DestroySingleton();
  EXPECT_TRUE(Reported("Attempting to destroy dead singleton\r\n\r\nASSERT(!StaticData::mDestroyed);\r\n\r\n",
                       "::DestroySingleton()\r\n"));
  EXPECT_TRUE(tHeld::StaticData::mDestroyed);
}

TEST_F(Singletons, RegistryIsAnOwnedServiceAnsweringItsTwoIdentifiers) {
  cDeltaMetaDataRegistry& registry = cDeltaMetaDataRegistry::Get();
  cSingletonManager& manager = tSingletonManager::Instance();
  EXPECT_EQ(&registry, &cDeltaMetaDataRegistry::Get());
  EXPECT_EQ(static_cast<iInterfaceProvider*>(&registry), manager.GetInstance(gDeltaMetaDataRegistryId));
  int owned = -1;
  for (const sSingletonEntry* e : manager.GetEntries()) {
    if (e->mId == gDeltaMetaDataRegistryId) owned = e->mOwned;
  }
  EXPECT_EQ(1, owned);  // shut down with the manager
  EXPECT_EQ(static_cast<void*>(&registry), registry.QueryInterface(cGUID(cIdA)));
  EXPECT_EQ(static_cast<void*>(static_cast<iInterfaceProvider*>(&registry)),
            registry.QueryInterface(gInterfaceProviderId));
  EXPECT_EQ(nullptr, registry.QueryInterface(gDeltaAccessorId));
}

}  // namespace
