// Interface identifiers, the singleton manager and holder, and the metadata
// registry as a service: ordering, creation on first request, shutdown, and
// the trace and assertion texts they write to the log.
#include <gtest/gtest.h>

#include <algorithm>
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

// A stand-in log viewer listening to every filter; texts are joined.
std::string gViewerText;
int gViewerHandle;
void* FindViewer(const char*) { return &gViewerHandle; }
void Receive(void*, uint32_t kind, const void* data, uint32_t size) {
  if (kind == kLog::cSendText && size > 0) gViewerText.append(static_cast<const char*>(data), size - 1);
}

std::string Prompt() {
  const std::u16string wide = cLog::GetLog().GetPromptText();
  return std::string(wide.begin(), wide.end());
}

class Singletons : public ::testing::Test {
 protected:
  void SetUp() override {
    gCreated = gDestroyed = 0;
    gViewerText.clear();
    cLog::GetLog() << &cLog::start_prompt;
  }
  void TearDown() override {
    cLog::SetViewerPort(nullptr, nullptr);
    cLog::GetLog().findTicksee();  // forgets the stand-in viewer
    cLog::GetLog().setFilters("", true);
  }
  void ListenToTraces() {
    cLog::SetViewerPort(FindViewer, Receive);
    cLog::GetLog().findTicksee();
    cLog::GetLog().setFilters("Singleton", true);
    gViewerText.clear();
  }
};

TEST_F(Singletons, GuidsParseCompareAndWriteTheirTwoTextForms) {
  const cGUID a(cIdA);
  EXPECT_EQ(0xA0u, a.mData4[7]);  // the byte layout itself: see PlatformGuid
  EXPECT_TRUE(a == cGUID("bf37c8de-e444-4036-9714-6098d5cc72a0"));  // hex case does not matter
  EXPECT_TRUE(a != cGUID(cIdB));
  EXPECT_STREQ("bf37c8de-e444-4036-9714-6098d5cc72a0", a.ToString().c_str());
  EXPECT_TRUE(cGUID("not a guid").IsZero());  // the text forms refused: see PlatformGuid
  EXPECT_FALSE(a.IsZero());

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
    std::vector<uint32_t> orders;
    for (const sSingletonEntry* entry : manager.GetEntries()) {
      tags.push_back(static_cast<cCountedService*>(entry->mInstance)->mTag);
      orders.push_back(entry->mOrder);
    }
    EXPECT_EQ(c.mTags, tags);
    EXPECT_TRUE(std::is_sorted(orders.begin(), orders.end()));
    // The first entry in order answers for an identifier.
    EXPECT_EQ(c.mTags[0], static_cast<cCountedService*>(manager.GetInstance(cGUID(cIdC)))->mTag);
  }
}

TEST_F(Singletons, CreatorRunsOnTheFirstRequestOnlyAndShutdownDestroysOwnedInstances) {
  cCountedService notOwned;
  {
    cSingletonManager manager;
    manager.Register(cGUID(cIdA), CreateCounted, nullptr, 3, true);
    manager.Register(cGUID(cIdB), nullptr, &notOwned, 1, false);
    EXPECT_EQ(1, gCreated);  // notOwned only
    EXPECT_EQ(nullptr, manager.GetInstance(cGUID(cIdC)));
    EXPECT_EQ(nullptr, manager.GetInstance(cGUID()));
    iInterfaceProvider* created = manager.GetInstance(cGUID(cIdA));
    ASSERT_NE(nullptr, created);
    EXPECT_EQ(7, static_cast<cCountedService*>(created)->mTag);
    EXPECT_EQ(created, manager.GetInstance(cGUID(cIdA)));
    EXPECT_EQ(2, gCreated);
    EXPECT_EQ(&notOwned, manager.GetInstance(cGUID(cIdB)));

    // Removing: an entry not in the list is left alone; an owned one takes
    // its instance with it.
    sSingletonEntry stray = {cGUID(cIdA), nullptr, nullptr, 0, 1};
    manager.RemoveEntry(&stray);
    EXPECT_EQ(2u, manager.GetEntries().size());
    manager.Register(cGUID(cIdC), nullptr, new cCountedService(), 9, true);
    manager.RemoveEntry(manager.GetEntries().back());
    EXPECT_EQ(1, gDestroyed);
    EXPECT_EQ(nullptr, manager.GetInstance(cGUID(cIdC)));

    ListenToTraces();
    manager.Register(cGUID(cIdC), nullptr, &notOwned, 4000000000u, false);
  }
  EXPECT_EQ(2, gDestroyed);  // the created instance; notOwned lives on
  // Traces name the place in the manager's source, the identifier and the order.
  EXPECT_EQ(0u, gViewerText.find("Trace ")) << gViewerText;
  EXPECT_NE(std::string::npos, gViewerText.find("cSingletonManager.cpp : "));
  EXPECT_NE(std::string::npos, gViewerText.find(" = Registering Singleton {00000001-0002-0003-0405060708090a0b}:4000000000\r\n"));
  EXPECT_NE(std::string::npos, gViewerText.find(" = Deleting Singleton {bf37c8de-e444-4036-97146098d5cc72a0}:3\r\n"));
  EXPECT_EQ(std::string::npos, gViewerText.find("{2b4b0201"));  // not owned: no trace
}

TEST_F(Singletons, MisuseIsReportedAsAssertionsAndIgnored) {
  cSingletonManager manager;
  const struct { const char* mMessage; const char* mCondition; const char* mFunction; } reports[] = {
      {"Can't register a singleton without either an instance or a creation routine",
       "creator || instance", "cSingletonManager::Register"},
      {"Can't add a null entry", "entry != 0", "cSingletonManager::AddEntry"},
      {"Can't remove a null entry", "entry != 0", "cSingletonManager::RemoveEntry"},
  };
  for (int i = 0; i < 3; ++i) {
    cLog::GetLog() << &cLog::start_prompt;
    if (i == 0) manager.Register(cGUID(cIdA), nullptr, nullptr, 0, true);
    if (i == 1) manager.AddEntry(nullptr);
    if (i == 2) manager.RemoveEntry(nullptr);
    const std::string expected = std::string(reports[i].mMessage) + "\r\n\r\nASSERT(" +
                                 reports[i].mCondition + ");\r\n\r\n" + reports[i].mFunction +
                                 "()\r\n\r\n";
    EXPECT_EQ(expected, Prompt().substr(0, expected.size()));
    EXPECT_NE(std::string::npos, Prompt().find("cSingletonManager.cpp : "));
  }
  // The entry without instance or creator is kept and answers null.
  EXPECT_EQ(1u, manager.GetEntries().size());
  EXPECT_EQ(nullptr, manager.GetInstance(cGUID(cIdA)));
}

// A holder over a service of its own.
int gHeldCreations;
class cHeldService {
 public:
  static cHeldService* CreateInstance() {
    ++gHeldCreations;
    static cHeldService service;
    return &service;
  }
};
typedef tSingletonHolder<cHeldService, CreateUsingStaticMemberFunction, DefaultLifetime> tHeld;

TEST_F(Singletons, HolderCreatesOnceComesBackAfterDestructionAndReportsDoubleDestruction) {
  gHeldCreations = 0;
  cHeldService& first = tHeld::Instance();
  EXPECT_EQ(&first, &tHeld::Instance());
  EXPECT_EQ(1, gHeldCreations);
  tHeld::DestroySingleton();
  EXPECT_TRUE(tHeld::StaticData::mDestroyed);
  EXPECT_EQ(nullptr, tHeld::StaticData::mInstance);
  EXPECT_EQ(u"", std::u16string(cLog::GetLog().GetPromptText()));

  tHeld::Instance();
  EXPECT_FALSE(tHeld::StaticData::mDestroyed);
  EXPECT_EQ(2, gHeldCreations);
  tHeld::DestroySingleton();
  tHeld::DestroySingleton();
  const std::string expected = "Attempting to destroy dead singleton\r\n\r\nASSERT(!StaticData::mDestroyed);\r\n\r\n";
  EXPECT_EQ(expected, Prompt().substr(0, expected.size()));
  EXPECT_NE(std::string::npos, Prompt().find("::DestroySingleton()\r\n"));
  EXPECT_TRUE(tHeld::StaticData::mDestroyed);
}

TEST_F(Singletons, RegistryIsAnOwnedServiceAnsweringItsTwoIdentifiers) {
  cDeltaMetaDataRegistry& registry = cDeltaMetaDataRegistry::Get();
  EXPECT_EQ(&registry, &cDeltaMetaDataRegistry::Get());
  cSingletonManager& manager = tSingletonManager::Instance();
  EXPECT_EQ(&manager, &tSingletonManager::Instance());
  EXPECT_EQ(static_cast<iInterfaceProvider*>(&registry), manager.GetInstance(gDeltaMetaDataRegistryId));
  const sSingletonEntry* entry = nullptr;
  for (const sSingletonEntry* e : manager.GetEntries()) {
    if (e->mId == gDeltaMetaDataRegistryId) entry = e;
  }
  ASSERT_NE(nullptr, entry);
  EXPECT_EQ(1, entry->mOwned);  // shut down with the manager

  EXPECT_EQ(static_cast<void*>(&registry), registry.QueryInterface(cGUID(cIdA)));
  EXPECT_EQ(static_cast<void*>(static_cast<iInterfaceProvider*>(&registry)),
            registry.QueryInterface(gInterfaceProviderId));
  EXPECT_EQ(nullptr, registry.QueryInterface(gDeltaAccessorId));
}

}  // namespace
