// cmmsim: the vendor side, simulated. One program with sub-commands; every
// process finds the drive map, the desktop and the time scale in the
// environment it inherited and shares its state under "C:\CMMSIM\".
#include "commands.h"
#include "faults.h"

#include "platform/platform.h"

#include <cstdio>
#include <exception>
#include <map>

namespace {

const char* kUsage =
    "usage: cmmsim COMMAND [ARGS]\n"
    "  install [--cosmos DIR] [--geopak-app DIR] [--exchange DIR] [--scene NAME|FILE]\n"
    "          [--noise MM] [--seed N] [--manual] [--poll-position]\n"
    "          [--cancel-keys K] [--restart-keys1 K] [--restart-keys2 K] [--exit-keys K]\n"
    "          [fault flags]\n"
    "  partmanager PARTVOL_PATH     PartManager and the remote-start service\n"
    "  geopakwin                    GEOPAK-WIN running the ZOR macro\n"
    "  geopak3                      GEOPAK 3 running the MELDAX macro\n"
    "  operator hit X Y Z I J K     queue a manual probe hit\n"
    "  fault [--clear] FLAG...      change the fault flags\n"
    "  status                       the simulation's state as one JSON object\n"
    "  shutdown                     end every cmmsim process of this tree\n"
    "environment: CMM_DRIVE_MAP, CMM_DESKTOP, CMM_TIME_SCALE; CMM_SIM_OWNER=PID ends\n"
    "  every simulated program once process PID has ended\n"
    "fault flags:\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace cmmsim;
    const std::map<std::string, int (*)(const Args&)> commands = {
        {"install", RunInstall},   {"partmanager", RunPartManager}, {"geopakwin", RunGeopakWin},
        {"geopak3", RunGeopak3},   {"operator", RunOperator},       {"fault", RunFault},
        {"status", RunStatus},     {"shutdown", RunShutdown},
    };
    if (const std::string fault = plat::DriveMapError(); !fault.empty()) {
        std::fprintf(stderr, "cmmsim: %s\n", fault.c_str());
        return 2;
    }
    auto command = argc > 1 ? commands.find(argv[1]) : commands.end();
    if (command == commands.end()) {
        std::fprintf(stderr, "%s%s", kUsage, FaultFlagsHelp().c_str());
        return 2;
    }
    Args args;
    for (int i = 2; i < argc; ++i) {
        if (argv[i][0] != '\0') args.emplace_back(argv[i]);  // launchers may pass an empty argument
    }
    try {
        return command->second(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cmmsim %s: %s\n", argv[1], e.what());
        return 1;
    }
}
