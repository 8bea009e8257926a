// The COSMOS protocol object: its defaults as the twelve settings in their
// order, reading that leaves missing values alone, and the small operations.
#include "cosmos/cosmos_protocol.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace {

// A key that records every write in order and serves what it holds.
class RecordingKey : public plat::RegistryKey {
public:
    bool GetString(const std::string& name, std::string& value) const override {
        auto it = strings.find(name);
        if (it == strings.end()) return false;
        value = it->second;
        return true;
    }
    bool GetDword(const std::string& name, uint32_t& value) const override {
        auto it = dwords.find(name);
        if (it == dwords.end()) return false;
        value = it->second;
        return true;
    }
    bool SetString(const std::string& name, const std::string& value) override {
        written.push_back(name + "=" + value);
        strings[name] = value;
        return true;
    }
    bool SetDword(const std::string& name, uint32_t value) override {
        written.push_back(name + "#" + std::to_string(value));
        dwords[name] = value;
        return true;
    }
    std::map<std::string, std::string> strings;
    std::map<std::string, uint32_t> dwords;
    std::vector<std::string> written;
};

TEST(CosmosSettings, FreshObjectWritesItsDefaultsInOrder) {
    MitutoyoCosmosProtocol protocol;
    RecordingKey key;
    EXPECT_TRUE(protocol.WriteSettings(&key));
    EXPECT_EQ(key.written, (std::vector<std::string>{
                               "CosmosPath=C:\\COSMOS\\",
                               "CancelGEOPAKMacroString=%RI{TAB}{TAB}{TAB}{DOWN}{DOWN}{TAB}{TAB}{ENTER}",
                               "RestartGEOPAKMacroString1=%R{DOWN}{ENTER}",
                               "RestartGEOPAKMacroString2=1{ENTER}{ENTER}",
                               "GeoPakWinClassName=xmeas_res4500drawtask9012",
                               "PartManagerClassName=xpartmngr4500drawtask9012",
                               "GeoPak Local#1",
                               "Has PH9/PH10 Head#1",
                               "DEBUG#0",
                               "MachineType#1",
                               "REMOTESTARTTIMEOUT#12000",
                               "ExitGEOPAKKeyStroke=%I{DOWN}{DOWN}{ENTER}",
                           }));
}

TEST(CosmosSettings, ReadingTakesStoredValuesAndLeavesMissingOnesAlone) {
    MitutoyoCosmosProtocol protocol;
    protocol.m_machineType = 7;
    protocol.m_cancelMacroKeys = "{ESC}";
    RecordingKey empty;
    EXPECT_TRUE(protocol.ReadSettings(&empty));
    EXPECT_EQ(protocol.m_machineType, 7);
    EXPECT_EQ(protocol.m_cancelMacroKeys, "{ESC}");
    EXPECT_EQ(protocol.m_cosmosPath, "C:\\COSMOS\\");

    RecordingKey stored;
    stored.strings["CosmosPath"] = "D:\\COS";  // kept as it is: no backslash added here
    stored.dwords["MachineType"] = 5;          // not normalised here either
    stored.dwords["REMOTESTARTTIMEOUT"] = 500;
    stored.strings["ExitGEOPAKKeyStroke"] = "%{F4}";
    EXPECT_TRUE(protocol.ReadSettings(&stored));
    EXPECT_EQ(protocol.m_cosmosPath, "D:\\COS");
    EXPECT_EQ(protocol.m_machineType, 5);
    EXPECT_EQ(protocol.m_remoteStartTimeout, 500);
    EXPECT_EQ(protocol.m_exitGeopakKeys, "%{F4}");
    EXPECT_EQ(protocol.m_cancelMacroKeys, "{ESC}");
}

TEST(CosmosObject, SmallOperations) {
    testsupport::Sandbox box;
    MitutoyoCosmosProtocol protocol;
    EXPECT_EQ(protocol.GetControllerName(), "COSMOS");
    EXPECT_EQ(protocol.SetApproachVector(0, 0, 0), 1);
    EXPECT_EQ(protocol.HasIndexableHead(), 1);
    EXPECT_EQ(protocol.GetThreadFunction(), &MitutoyoCosmosProtocol::CosmosWorkerThread);
    EXPECT_DOUBLE_EQ(DegreesToRadians(180.0), std::acos(-1.0));
    EXPECT_STREQ(protocol.GetRuntimeClass()->m_lpszClassName, "MitutoyoCosmosProtocol");

    protocol.m_geopakWindow = 1234;  // stale
    EXPECT_EQ(protocol.LocateApplicationWindow(), plat::kNoWindow);
    EXPECT_EQ(protocol.m_geopakWindow.load(), plat::kNoWindow);
    const plat::WindowHandle window = plat::CreateTopLevelWindow("xmeas_res4500drawtask9012", "GEOPAK-WIN");
    EXPECT_EQ(protocol.LocateApplicationWindow(), window);
    EXPECT_EQ(protocol.m_geopakWindow.load(), window);
    plat::DestroyTopLevelWindow(window);
}

}  // namespace
