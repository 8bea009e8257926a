// `cmmsim geopakwin`: the GEOPAK-WIN window of COSMOS running the host's macro
// "ZOR". The macro claims each "VELMOR\ZOR_GEO.DAT", acts on the virtual CMM
// and answers "VELMOR\GEO_ZOR.DAT" with name=value lines. The first parameter
// file after a (re)start is the initialisation, answered without running its
// "Cmd". The window obeys the configured cancel, restart (menu, then start
// dialog) and exit key sequences.
#include "commands.h"
#include "exchange_files.h"
#include "faults.h"
#include "keys.h"
#include "machine.h"
#include "runtime.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>

namespace cmmsim {
namespace {

constexpr const char* kWindowClass = "xmeas_res4500drawtask9012";
constexpr const char* kWindowTitle = "GEOPAK-WIN";

enum KeyId { kCancel = 1, kRestartMenu, kStartDialog, kExit };
enum class Mode { kStopped, kStartDialogOpen, kAwaitInit, kRunning };

using Params = std::map<std::string, double>;

// name=value lines; lines without a name or a number are skipped.
Params ParseParams(const std::vector<std::string>& lines) {
    Params params;
    for (const std::string& line : lines) {
        size_t equals = line.find('=');
        if (equals == std::string::npos || equals == 0) continue;
        const char* text = line.c_str() + equals + 1;
        char* end = nullptr;
        double value = std::strtod(text, &end);
        if (end != text && std::isfinite(value)) params[line.substr(0, equals)] = value;
    }
    return params;
}

double Get(const Params& params, const char* name, double otherwise) {
    auto it = params.find(name);
    return it == params.end() ? otherwise : it->second;
}

Vec3 GetVec(const Params& p, const char* x, const char* y, const char* z, const Vec3& otherwise) {
    return Vec3{Get(p, x, otherwise.x), Get(p, y, otherwise.y), Get(p, z, otherwise.z)};
}

std::string AnswerText(int error, const MeasuredPoint& at, bool garbage) {
    Vec3 angles = DirectionAngles(at.direction);
    std::string text = garbage ? "ZOR MACRO ANSWER\n=17\n" : "";
    text += "Error=" + std::to_string(error) + "\n";
    text += "ActualX=" + Number(at.point.x) + "\n";
    text += "ActualY=" + Number(at.point.y) + "\n";
    text += "ActualZ=" + Number(at.point.z) + "\n";
    if (garbage) text += "ActualQ=not a number\n\nno equals sign on this line\n";
    text += "ActualA=" + Number(angles.x) + "\n";
    text += "ActualB=" + Number(angles.y) + "\n";
    text += "ActualC=" + Number(angles.z) + "\n";
    return text;
}

class CosmosMacro {
public:
    explicit CosmosMacro(const Config& config)
        : m_config(config), m_window(kWindowClass, kWindowTitle) {
        m_keys.Add(kCancel, config.cancelKeys);
        m_keys.Add(kRestartMenu, config.restartKeys1);
        m_keys.Add(kStartDialog, config.restartKeys2);
        m_keys.Add(kExit, config.exitKeys);
    }

    int Run() {
        while (m_window.Alive() && !m_exit) {
            if (Serving()) {
                bool present = plat::WaitForPath(CommandPath(), SliceMs());
                PumpKeys(0);  // keys typed before the file was written come first
                if (!present || !Serving() || m_exit) continue;
                std::optional<std::vector<std::string>> lines = ClaimCommandFile(CommandPath());
                if (lines) Handle(ParseParams(*lines));
            } else {
                PumpKeys(SliceMs());
            }
        }
        return 0;
    }

private:
    std::string Velmor(const char* name) const { return m_config.cosmosPath + "VELMOR\\" + name; }
    std::string CommandPath() const { return Velmor("ZOR_GEO.DAT"); }
    bool Serving() const { return m_mode == Mode::kAwaitInit || m_mode == Mode::kRunning; }

    void PumpKeys(uint32_t ms) {
        for (int id : m_keys.Feed(m_window.Keys(ms))) {
            if (id == kCancel) {
                m_mode = Mode::kStopped;
                store::Count("cosmos.cancel");
            } else if (id == kRestartMenu) {
                m_mode = Mode::kStartDialogOpen;
            } else if (id == kStartDialog && m_mode == Mode::kStartDialogOpen) {
                m_mode = Mode::kAwaitInit;
                store::Count("cosmos.restart");
            } else if (id == kExit) {
                m_exit = true;
                store::Count("cosmos.exit");
            }
        }
    }

    // The command still stands while the macro runs.
    bool StillWanted() {
        PumpKeys(0);
        return m_mode == Mode::kRunning && !m_exit;
    }

    void Handle(const Params& params) {
        ++m_handled;
        if (m_mode == Mode::kAwaitInit) {
            m_mode = Mode::kRunning;
            Act("cosmos.init", -1, [&](SimState& s, MeasuredPoint& at) {
                s.machine.machType = static_cast<int>(Get(params, "MachType", -1));
                at = CurrentPosition(s);
                return 0;
            });
            return;
        }
        int cmd = static_cast<int>(std::lround(Get(params, "Cmd", -1)));
        switch (cmd) {
        case 2: Act("cosmos.cmd2", cmd, [&](SimState& s, MeasuredPoint& at) { return Head(s, params, at); }); break;
        case 5: Poll(); break;
        case 8: Act("cosmos.cmd8", cmd, [&](SimState& s, MeasuredPoint& at) { return Probe(s, params, at); }); break;
        case 9: Act("cosmos.cmd9", cmd, [&](SimState& s, MeasuredPoint& at) { return Move(s, params, at); }); break;
        default:
            Act("cosmos.cmd_other", cmd, [&](SimState& s, MeasuredPoint& at) { at = CurrentPosition(s); return 0; });
        }
    }

    static int Head(SimState& s, const Params& p, MeasuredPoint& at) {
        s.machine.probeDiameter = Get(p, "ProbeD", s.machine.probeDiameter);
        s.machine.headA = Get(p, "Ph9A", s.machine.headA);
        s.machine.headB = Get(p, "Ph9B", s.machine.headB);
        at = CurrentPosition(s);
        return 0;
    }

    // Error 2: a manual machine cannot move by itself; error 1: no contact.
    static int Probe(SimState& s, const Params& p, MeasuredPoint& at) {
        at = CurrentPosition(s);
        if (s.config.manual) return 2;
        Vec3 start = GetVec(p, "XStart", "YStart", "ZStart", s.machine.position);
        Vec3 target = GetVec(p, "XTarget", "YTarget", "ZTarget", start);
        std::optional<MeasuredPoint> measured = ProbeMove(s, InstalledScene(s.config), start, target);
        if (!measured) {
            at = CurrentPosition(s);
            return 1;
        }
        at = *measured;
        return 0;
    }

    static int Move(SimState& s, const Params& p, MeasuredPoint& at) {
        if (!s.config.manual) MoveMachine(s, GetVec(p, "XGoto", "YGoto", "ZGoto", s.machine.position));
        at = CurrentPosition(s);
        return s.config.manual ? 2 : 0;
    }

    // Runs the command's effect and plans its answer in one state update.
    template <typename Effect>
    void Act(const char* counter, int code, Effect effect) {
        AnswerPlan plan;
        MeasuredPoint at;
        int error = 0;
        store::Update([&](SimState& s) {
            ++s.counts[counter];
            error = effect(s, at);
            plan = TakeAnswerPlan(s.faults, Side::kCosmos, code);
            if (plan.delayMs == 0) CountDelivery(s, Side::kCosmos, plan);
        });
        if (plan.delayMs > 0) {
            if (Delay(plan.delayMs)) return;
            store::Update([&](SimState& s) { CountDelivery(s, Side::kCosmos, plan); });
        }
        Deliver(plan, error, at);
    }

    // true when the wait was cut short and the answer is dropped.
    bool Delay(uint32_t ms) {
        WaitEnd end = WaitWhileServing(m_window, CommandPath(), ms, [] { return false; },
                                       [this] { return StillWanted(); });
        if (end == WaitEnd::kElapsed) return false;
        store::Count("cosmos.dropped");
        return true;
    }

    // A position poll: the next measured point, waited for while none is
    // queued; with --poll-position the current position at once. A point
    // already queued is counted, taken and answered in one state update.
    void Poll() {
        AnswerPlan plan;
        std::optional<MeasuredPoint> point;
        bool taken = false;
        SimState s = store::Update([&](SimState& s) {
            ++s.counts["cosmos.cmd5"];
            if (s.faults.answerDelayMs == 0) taken = TakePollAnswer(s, Side::kCosmos, 5, plan, point);
        });
        while (!taken) {
            if (!s.config.pollPosition) {
                WaitEnd end = WaitWhileServing(
                    m_window, CommandPath(), plat::kInfinite,
                    [] { return !store::Read().queue.empty(); }, [this] { return StillWanted(); });
                if (end != WaitEnd::kReady) {
                    store::Count("cosmos.dropped");
                    return;
                }
            }
            if (s.faults.answerDelayMs > 0 && Delay(s.faults.answerDelayMs)) return;
            // Another process may have taken the point meanwhile: wait again.
            s = store::Update([&](SimState& s) { taken = TakePollAnswer(s, Side::kCosmos, 5, plan, point); });
        }
        Deliver(plan, 0, point ? *point : CurrentPosition(s));
    }

    void Deliver(const AnswerPlan& plan, int error, const MeasuredPoint& at) {
        if (plan.remoteMsg) {
            PublishAnswerFile(Velmor("REMOTE.MSG"), "MESSAGE FROM COSMOS\n");
        } else if (plan.answer) {
            int sent = plan.error != 0 ? plan.error : error;
            PublishAnswerFile(Velmor("GEO_ZOR.DAT"), AnswerText(sent, at, plan.garbage), plan.lockMs);
        }
        if (plan.crashAfter != 0 && m_handled >= plan.crashAfter) Crash(m_window, "geopakwin");
    }

    Config m_config;
    SimWindow m_window;
    KeySequences m_keys;
    Mode m_mode = Mode::kAwaitInit;
    bool m_exit = false;
    uint32_t m_handled = 0;
};

}  // namespace

int RunGeopakWin(const Args&) {
    if (plat::FindWindowByClass(kWindowClass) != plat::kNoWindow) return 0;  // one instance
    PidRecord pid("geopakwin");
    CosmosMacro macro(store::Read().config);
    return macro.Run();
}

}  // namespace cmmsim
