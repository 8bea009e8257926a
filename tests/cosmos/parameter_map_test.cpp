// The parameter map's order is what the macro reads: bucket table of every
// name the protocol uses, newest-first chains, first position kept, lookups
// that insert, and copies that keep (or reverse) the order as the map does.
#include "cosmos/cosmos_exchange.h"
#include "cosmos/parameter_map.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Names(const ParameterMap& map) {
    std::vector<std::string> names;
    for (const ParameterMap::Entry& entry : map) names.push_back(entry.first);
    return names;
}

TEST(ParameterMap, BucketsOfEveryProtocolName) {
    const std::map<std::string, uint32_t> expected = {
        {"ActualB", 0},  {"ActualC", 1},  {"Error", 4},    {"XGoto", 4},    {"ActualX", 5},   {"MachType", 5},
        {"ProbeD", 5},   {"SkipInit", 5}, {"YGoto", 5},    {"ActualY", 6},  {"ZGoto", 6},     {"ActualZ", 7},
        {"Cmd", 7},      {"ZProbe", 7},   {"YProbe", 8},   {"XProbe", 9},   {"XTarget", 10},  {"ZStart", 10},
        {"YStart", 11},  {"YTarget", 11}, {"XStart", 12},  {"ZTarget", 12}, {"Tree", 13},     {"Ph9A", 15},
        {"ActualA", 16}, {"Ph9B", 16}};
    for (const auto& [name, bucket] : expected) EXPECT_EQ(ParameterMap::BucketOf(name), bucket) << name;
}

TEST(ParameterMap, HashTakesCharactersAsSigned) {
    // 0xE9 counts as -23: 0 * 33 - 23 wraps to 2^32 - 23.
    EXPECT_EQ(ParameterMap::HashKey("\xE9"), 0xFFFFFFE9u);
    EXPECT_EQ(ParameterMap::HashKey("a\xE9"), 97u * 33u - 23u);
    EXPECT_EQ(ParameterMap::HashKey(""), 0u);
    // Long names wrap modulo 2^32 without trouble.
    EXPECT_EQ(ParameterMap::HashKey(std::string(1000, 'z')) % 17, ParameterMap::BucketOf(std::string(1000, 'z')));
}

TEST(ParameterMap, IteratesBucketsAscendingNewestFirstFirstPlaceKept) {
    ParameterMap map;
    map["Cmd"] = 9.0;
    map["XGoto"] = 1.0;
    map["YGoto"] = 2.0;
    map["ZGoto"] = 3.0;
    EXPECT_EQ(Names(map), (std::vector<std::string>{"XGoto", "YGoto", "ZGoto", "Cmd"}));

    ParameterMap connect;
    connect["SkipInit"] = 0.0;
    connect["MachType"] = 1.0;
    connect["SkipInit"] = 1.0;  // stays where it first went
    EXPECT_EQ(Names(connect), (std::vector<std::string>{"MachType", "SkipInit"}));
    double value = 0.0;
    ASSERT_TRUE(connect.Lookup("SkipInit", value));
    EXPECT_EQ(value, 1.0);
}

TEST(ParameterMap, ReadingAMissingNameInsertsZeroAndLookupDoesNot) {
    ParameterMap map;
    double value = 7.0;
    EXPECT_FALSE(map.Lookup("Error", value));
    EXPECT_EQ(map.GetCount(), 0u);
    EXPECT_EQ(map["Error"], 0.0);
    EXPECT_EQ(map.GetCount(), 1u);
    EXPECT_EQ(FormatParameterText(map), "Error=       0.000\n");
    // Names are case-sensitive and blanks count.
    map["error"] = 1.0;
    map["Error "] = 2.0;
    EXPECT_EQ(map.GetCount(), 3u);
}

TEST(ParameterMap, CopyIntoEmptyMapReversesEachChainAsTheHashMapDoes) {
    ParameterMap caller;
    caller["SkipInit"] = 0.0;
    caller["MachType"] = 1.0;
    caller["Cmd"] = 8.0;
    ParameterMap worker;
    CopyParameters(worker, caller);
    EXPECT_EQ(Names(worker), (std::vector<std::string>{"SkipInit", "MachType", "Cmd"}));
    // Copying back keeps the target's own order and its own extra names.
    caller["ActualX"] = 4.0;
    worker["Error"] = 1.0;
    CopyParameters(caller, worker);
    EXPECT_EQ(Names(caller), (std::vector<std::string>{"Error", "ActualX", "MachType", "SkipInit", "Cmd"}));
    EXPECT_EQ(caller["Error"], 1.0);
}

TEST(ParameterMap, ValueCopyAndClear) {
    ParameterMap map;
    for (int i = 0; i < 100; ++i) map["P" + std::to_string(i)] = i;
    ParameterMap copy = map;
    EXPECT_EQ(Names(copy), Names(map));
    map.RemoveAll();
    EXPECT_TRUE(map.IsEmpty());
    EXPECT_EQ(map.begin(), map.end());
    EXPECT_EQ(copy.GetCount(), 100u);
    EXPECT_EQ(copy["P42"], 42.0);
}

}  // namespace
