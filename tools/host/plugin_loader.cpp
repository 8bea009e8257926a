// Loads Mitutoyo.cmm into cmmhost: from --plugin PATH or from cmmhost's own
// folder, once, with an error message that says which file failed and why.
#include "plugin_loader.h"

#include "platform/tools.h"

#include <filesystem>
#include <mutex>

namespace {

struct LoaderState {
    std::mutex lock;
    std::string argv0;
    std::string loadedPath;
    void* module = nullptr;
};

LoaderState& State() {
    static LoaderState state;
    return state;
}

}  // namespace

void SetHostProgramPath(const std::string& argv0) {
    std::lock_guard<std::mutex> guard(State().lock);
    State().argv0 = argv0;
}

std::string DefaultPluginPath() {
    std::string self = plat::CurrentExecutablePath();
    if (self.empty()) {
        std::lock_guard<std::mutex> guard(State().lock);
        self = State().argv0;
    }
    std::filesystem::path folder = std::filesystem::path(self).parent_path();
    return (folder / "Mitutoyo.cmm").string();
}

bool LoadPlugin(const std::string& path, std::string& error) {
    const std::string wanted = path.empty() ? DefaultPluginPath() : path;
    LoaderState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.module != nullptr) {
        if (state.loadedPath == wanted) return true;
        error = "another plug-in is already loaded: " + state.loadedPath;
        return false;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(wanted, ec)) {
        error = "cannot load the plug-in " + wanted + ": no such file (use --plugin PATH)";
        return false;
    }
    // dlopen resolves a bare name through the library path, not the folder.
    const std::string absolute = std::filesystem::absolute(wanted, ec).string();
    std::string why;
    void* module = plat::LoadModule(ec ? wanted : absolute, why);
    if (module == nullptr) {
        error = "cannot load the plug-in " + wanted + ": " + why;
        return false;
    }
    state.module = module;
    state.loadedPath = wanted;
    return true;
}

std::string DefaultKeyPath(const std::string& displayName) {
    return "HKEY_CURRENT_USER\\Software\\ZOR\\CMM Protocols\\" + displayName;
}
