// `cmmsim install`: lays out the simulated vendor installations in the
// drive-mapped tree (program launchers where PMGRWIN.EXE and GEOZOR.PIF
// would be, the exchange folders, PARTVOL.MDF) and a fresh simulator state
// with the chosen scene, noise, machine kind, key sequences and faults.
#include "commands.h"
#include "faults.h"
#include "geometry.h"
#include "runtime.h"
#include "state.h"
#include "platform/tools.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace cmmsim {
namespace {

std::string Folder(std::string path) {
    if (path.empty() || path.back() != '\\') path += '\\';
    return path;
}

const std::string& Value(const Args& args, size_t i) {
    if (i + 1 >= args.size()) throw std::invalid_argument(args[i] + " needs a value");
    return args[i + 1];
}

std::string ReadSceneFile(const std::string& nativePath) {
    std::ifstream in(nativePath, std::ios::binary);
    if (!in) throw std::invalid_argument("cannot read scene file " + nativePath);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

double ParseDouble(const std::string& flag, const std::string& text) {
    size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size()) throw std::invalid_argument(flag + ": bad value '" + text + "'");
    return value;
}

// Returns how many arguments the option at i used, 0 when unknown.
size_t ParseOption(const Args& args, size_t i, SimState& s) {
    const std::string& flag = args[i];
    Config& c = s.config;
    if (flag == "--manual") return c.manual = true, 1;
    if (flag == "--poll-position") return c.pollPosition = true, 1;
    std::string* text = flag == "--cosmos"          ? &c.cosmosPath
                        : flag == "--geopak-app"    ? &c.geopakApp
                        : flag == "--exchange"      ? &c.exchange
                        : flag == "--cancel-keys"   ? &c.cancelKeys
                        : flag == "--restart-keys1" ? &c.restartKeys1
                        : flag == "--restart-keys2" ? &c.restartKeys2
                        : flag == "--exit-keys"     ? &c.exitKeys
                                                    : nullptr;
    if (text != nullptr) return *text = Value(args, i), 2;
    if (flag == "--scene") {
        const std::string* builtIn = BuiltInScene(Value(args, i));
        c.sceneText = builtIn ? *builtIn : ReadSceneFile(Value(args, i));
        return 2;
    }
    if (flag == "--noise") {
        c.noise = ParseDouble(flag, Value(args, i));
        if (c.noise < 0) throw std::invalid_argument("--noise must not be negative");
        return 2;
    }
    if (flag == "--seed") return c.seed = static_cast<uint64_t>(ParseDouble(flag, Value(args, i))), 2;
    return ParseFaultFlag(args, i, s.faults);
}

bool WriteText(const std::string& dosPath, const std::string& text) {
    plat::File file;
    return file.Open(dosPath, plat::kFileWrite | plat::kFileCreate | plat::kFileText) &&
           file.Write(text) && file.Close();
}

void LayOut(const Config& c) {
    std::string self = plat::CurrentExecutablePath();
    if (self.empty()) throw std::runtime_error("cannot tell where cmmsim itself is");
    for (const std::string& folder : {c.cosmosPath + "EXE\\", c.cosmosPath + "VELMOR\\", c.geopakApp,
                                      c.geopakApp + "MELDAX\\", c.exchange, std::string(kPidFolder)}) {
        if (!plat::MakeDirectory(folder)) throw std::runtime_error("cannot create " + folder);
    }
    if (!WriteText(c.cosmosPath + "VELMOR\\PARTVOL.MDF", "PARTVOL simulated part volume\n"))
        throw std::runtime_error("cannot write PARTVOL.MDF");
    if (!plat::InstallLauncher(c.cosmosPath + "EXE\\PMGRWIN.EXE", self, {"partmanager"}) ||
        !plat::InstallLauncher(c.geopakApp + "GEOZOR.PIF", self, {"geopak3"}) ||
        !plat::InstallLauncher(kGeopakWinLauncher, self, {"geopakwin"}))
        throw std::runtime_error("cannot install the program launchers");
}

}  // namespace

int RunInstall(const Args& args) {
    SimState state;
    state.config.sceneText = DefaultSceneText();
    try {
        for (size_t i = 0; i < args.size();) {
            size_t used = ParseOption(args, i, state);
            if (used == 0) throw std::invalid_argument("unknown option " + args[i]);
            i += used;
        }
        SceneParse scene = ParseScene(state.config.sceneText);
        if (!scene.ok) throw std::invalid_argument("scene: " + scene.error);
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "cmmsim install: %s\n", e.what());
        return 2;
    }
    Config& c = state.config;
    c.cosmosPath = Folder(c.cosmosPath);
    c.geopakApp = Folder(c.geopakApp);
    c.exchange = Folder(c.exchange);
    LayOut(c);
    plat::RemoveFile(kShutdownFlag);
    store::Create(state);
    std::printf("cmmsim install: COSMOS in %s (%s), GEOPAK 3 in %s (%s), GEOPAK exchange folder %s,\n"
                "  a %s CMM with its scene; its state in %s (%s)\n",
                c.cosmosPath.c_str(), plat::NativePath(c.cosmosPath).c_str(), c.geopakApp.c_str(),
                plat::NativePath(c.geopakApp).c_str(), c.exchange.c_str(), c.manual ? "manual" : "motorised",
                "C:\\CMMSIM\\", plat::NativePath("C:\\CMMSIM\\").c_str());
    return 0;
}

}  // namespace cmmsim
