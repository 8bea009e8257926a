// The plug-in module as the host meets it: loading Mitutoyo.cmm announces
// COSMOS then GEOPAK before the entry runs, protocols are created by name
// through their run-time classes, unloading withdraws them after the entry's
// detach, and the resource guard always puts the previous module back.
#include "dialogs/resource_scope.h"
#include "framework/protocol.h"
#include "plugin/module_entry.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

namespace {

const char* const kCosmos = "Mitutoyo - COSMOS1.3";
const char* const kGeopak = "Mitutoyo - GEOPAK3v5.3";

std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const RegisteredProtocol& p : RegisteredProtocols()) names.push_back(p.displayName);
    return names;
}

// Debug lines, with the registered names as they were when each arrived.
struct DebugRecorder {
    std::mutex lock;
    std::vector<std::pair<std::string, std::vector<std::string>>> lines;
    DebugRecorder() {
        plat::SetDebugOutputHook([this](const std::string& line) {
            testsupport::Locked(lock, [&] { lines.push_back({line, Names()}); });
        });
    }
    ~DebugRecorder() { plat::SetDebugOutputHook(nullptr); }
};

TEST(PluginModule, LoadingAnnouncesBothProtocolsBeforeTheEntryAndUnloadingWithdrawsThem) {
    // This test binary holds the plug-in's code too, so its own two records
    // come first; the loaded module adds its pair after them.
    const std::vector<std::string> before = Names();
    ASSERT_EQ(before, (std::vector<std::string>{kCosmos, kGeopak}));

    DebugRecorder recorder;
    std::string error;
    void* module = plat::LoadModule(testsupport::ProgramPath("Mitutoyo.cmm"), error);
    ASSERT_NE(module, nullptr) << error;
    const std::vector<std::string> loaded{kCosmos, kGeopak, kCosmos, kGeopak};
    EXPECT_EQ(Names(), loaded);
    plat::UnloadModule(module);
    EXPECT_EQ(Names(), before);

    std::lock_guard<std::mutex> guard(recorder.lock);
    ASSERT_EQ(recorder.lines.size(), 2u);
    EXPECT_EQ(recorder.lines[0].first, "Mitutoyo.DLL Initializing!\n");
    EXPECT_EQ(recorder.lines[0].second, loaded) << "the entry ran before the records existed";
    EXPECT_EQ(recorder.lines[1].first, "Mitutoyo DLL Terminating!\n");
    EXPECT_EQ(recorder.lines[1].second, loaded) << "the records went before the entry's detach";
}

TEST(PluginModule, ProtocolsAreCreatedByNameThroughTheirRunTimeClasses) {
    struct Expect {
        const char* display;
        const char* className;
    } expected[] = {{kCosmos, "MitutoyoCosmosProtocol"}, {kGeopak, "MitutoyoProtocol"}};
    for (const Expect& e : expected) {
        std::unique_ptr<CMMProtocolWithThread> protocol(CreateProtocol(e.display));
        ASSERT_NE(protocol, nullptr) << e.display;
        CRuntimeClass* rc = protocol->GetRuntimeClass();
        EXPECT_STREQ(rc->m_lpszClassName, e.className);
        EXPECT_EQ(rc->m_pfnGetBaseClass(), CMMProtocolWithThread::GetThisClass()) << "derives directly";
        EXPECT_TRUE(rc->IsDerivedFrom(CObject::GetThisClass()));
        EXPECT_EQ(protocol->GetProtocolName(), e.display);
    }
    EXPECT_EQ(CreateProtocol("Mitutoyo - COSMOS"), nullptr);
    // The framework's own classes are not creatable.
    EXPECT_EQ(CMMProtocolWithThread::GetThisClass()->CreateObject(), nullptr);
}

// The entry answers TRUE for every reason and logs only attach and detach.
TEST(PluginModule, EntryAndResourceScopeThatAlwaysRestores) {
    int hostResources = 0;
    plat::ModuleHandle saved = plat::ResourceModule();
    plat::SetResourceModule(&hostResources);
    DebugRecorder recorder;
    for (DWORD reason : {kProcessAttach, DWORD{2}, DWORD{3}, DWORD{0xFFFFFFFF}})
        EXPECT_EQ(PluginDllMain(PluginResourceModule(), reason, nullptr), TRUE) << reason;
    try {
        ResourceScope outer;
        { ResourceScope inner; }
        EXPECT_EQ(plat::ResourceModule(), PluginResourceModule()) << "the inner scope restored too much";
        throw std::runtime_error("dialog failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(plat::ResourceModule(), &hostResources);
    EXPECT_EQ(PluginDllMain(PluginResourceModule(), kProcessDetach, nullptr), TRUE);
    plat::SetResourceModule(saved);
    std::lock_guard<std::mutex> guard(recorder.lock);
    EXPECT_EQ(recorder.lines.size(), 2u);  // their texts: the loading test's
}

}  // namespace
