// `cmmsim partmanager PARTVOL_PATH`: PartManager's window and the Remote
// Manager service behind it. A request "VELMOR\REMOTE.ASK" (eight lines,
// "EXECUTE_PART_PROGRAM" then "ZOR") starts GEOPAK-WIN with the macro, unless
// it runs already, waits for its window and answers "VELMOR\REMOTE.ANS".
// With the silent-remote fault a request is left alone; it is served once
// the fault is cleared, as a late Remote Manager would.
#include "commands.h"
#include "exchange_files.h"
#include "runtime.h"
#include "state.h"

#include <chrono>

namespace cmmsim {
namespace {

constexpr const char* kWindowClass = "xpartmngr4500drawtask9012";
constexpr const char* kGeopakWinClass = "xmeas_res4500drawtask9012";

bool ValidRequest(const std::vector<std::string>& lines) {
    return lines.size() >= 2 && lines[0] == "EXECUTE_PART_PROGRAM" && lines[1] == "ZOR";
}

// Starts GEOPAK-WIN unless its window stands, and waits (10 s real at most)
// for the window.
bool EnsureGeopakWin(const SimWindow& own) {
    if (plat::FindWindowByClass(kGeopakWinClass) != plat::kNoWindow) return true;
    if (!plat::ShellExecute(kGeopakWinLauncher, "", kSimRoot, plat::kSwShow)) return false;
    store::Count("remote.geopakwin_started");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (own.Alive() && std::chrono::steady_clock::now() < deadline) {
        if (plat::FindWindowByClass(kGeopakWinClass) != plat::kNoWindow) return true;
        SleepRealMs(2);
    }
    return false;
}

class RemoteService {
public:
    explicit RemoteService(const Config& config)
        : m_velmor(config.cosmosPath + "VELMOR\\"), m_window(kWindowClass, "PartManager") {}

    int Run() {
        while (m_window.Alive()) {
            if (!plat::WaitForPath(Ask(), SliceMs())) continue;
            if (store::Read().faults.silentRemote) {
                Ignore();
                continue;
            }
            std::optional<std::vector<std::string>> lines = ClaimCommandFile(Ask());
            if (lines) Serve(*lines);
        }
        return 0;
    }

private:
    std::string Ask() const { return m_velmor + "REMOTE.ASK"; }

    // Waits while the request stands and the fault holds.
    void Ignore() {
        store::Count("remote.ignored");
        while (m_window.Alive() && plat::PathExists(Ask()) && store::Read().faults.silentRemote)
            plat::Sleep(SliceMs());
    }

    void Serve(const std::vector<std::string>& lines) {
        store::Count("remote.requests");
        if (!ValidRequest(lines)) {
            store::Count("remote.bad_request");
            return;
        }
        if (!EnsureGeopakWin(m_window)) {
            store::Count("remote.start_failed");
            return;
        }
        PublishAnswerFile(m_velmor + "REMOTE.ANS", "EXECUTE_PART_PROGRAM\nOK\n");
        store::Count("remote.answered");
    }

    std::string m_velmor;
    SimWindow m_window;
};

}  // namespace

int RunPartManager(const Args& args) {
    if (plat::FindWindowByClass(kWindowClass) != plat::kNoWindow) return 0;  // one instance
    PidRecord pid("partmanager");
    std::string partVolume = args.empty() ? std::string() : args.front();
    SimState state = store::Update([&](SimState& s) {
        s.partVolume = partVolume;
        ++s.counts["partmanager.starts"];
    });
    RemoteService service(state.config);
    return service.Run();
}

}  // namespace cmmsim
