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

TEST(ParameterMap, BucketsOfEveryProtocolNameWithSignedCharacters) {
    const std::map<std::string, uint32_t> expected = {
        {"ActualB", 0},  {"ActualC", 1},  {"Error", 4},    {"XGoto", 4},    {"ActualX", 5},   {"MachType", 5},
        {"ProbeD", 5},   {"SkipInit", 5}, {"YGoto", 5},    {"ActualY", 6},  {"ZGoto", 6},     {"ActualZ", 7},
        {"Cmd", 7},      {"ZProbe", 7},   {"YProbe", 8},   {"XProbe", 9},   {"XTarget", 10},  {"ZStart", 10},
        {"YStart", 11},  {"YTarget", 11}, {"XStart", 12},  {"ZTarget", 12}, {"Tree", 13},     {"Ph9A", 15},
        {"ActualA", 16}, {"Ph9B", 16}};
    for (const auto& [name, bucket] : expected) EXPECT_EQ(ParameterMap::BucketOf(name), bucket) << name;
    // 0xE9 counts as -23: 0 * 33 - 23 wraps to 2^32 - 23.
    EXPECT_EQ(ParameterMap::HashKey("\xE9"), 0xFFFFFFE9u);
    EXPECT_EQ(ParameterMap::HashKey("a\xE9"), 97u * 33u - 23u);
}

TEST(ParameterMap, FirstPlaceIsKeptAndReadingAMissingNameInsertsZero) {
    ParameterMap map;
    map["SkipInit"] = 0.0;
    map["MachType"] = 1.0;
    map["SkipInit"] = 1.0;  // stays where it first went
    EXPECT_EQ(Names(map), (std::vector<std::string>{"MachType", "SkipInit"}));
    EXPECT_EQ(map["SkipInit"], 1.0);
    double value = 7.0;
    EXPECT_FALSE(map.Lookup("Error", value));
    EXPECT_EQ(map.GetCount(), 2u);
    EXPECT_EQ(map["Error"], 0.0);
    EXPECT_EQ(map["error"], 0.0);  // case-sensitive
    EXPECT_EQ(FormatParameterText(map), "error=       0.000\nError=       0.000\nMachType=       1.000\n"
                                        "SkipInit=       1.000\n");
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

}  // namespace
