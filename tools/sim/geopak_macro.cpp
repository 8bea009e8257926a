// `cmmsim geopak3`: the GEOPAK 3 window ("GEOPAK - GEOPAK") with the MELDAX
// macro. It acknowledges each startup command in "GEO_COMM.ASK" with
// "GEO_COMM.ANS", then claims every "GEO_IN.DAT" (code line and six numbers)
// and acts on the virtual CMM. Only position polls (codes 5 and 6) are
// answered, with the seven lines of "GEO_OUT.DAT": an answer to a command the
// plug-in does not wait for could arrive late and pass for the next poll's.
// The keys F8, Escape, 2, Enter end the recording and drop a pending poll.
#include "commands.h"
#include "exchange_files.h"
#include "faults.h"
#include "keys.h"
#include "machine.h"
#include "runtime.h"

#include <cstdlib>
#include <optional>

namespace cmmsim {
namespace {

constexpr const char* kWindowClass = "GEOPAKMainWindow";
constexpr const char* kWindowTitle = "GEOPAK - GEOPAK";
constexpr const char* kRecordingEndKeys = "{F8}{ESC}2{ENTER}";
constexpr int kRecordingEnd = 1;

struct Command {
    int code = 0;
    Vec3 first, second;
};

std::optional<Command> ParseCommand(const std::vector<std::string>& lines) {
    if (lines.size() < 7) return std::nullopt;
    double d[7];
    for (size_t i = 0; i < 7; ++i) {
        const char* text = lines[i].c_str();
        char* end = nullptr;
        d[i] = std::strtod(text, &end);
        if (end == text) return std::nullopt;
    }
    return Command{static_cast<int>(d[0]), Vec3{d[1], d[2], d[3]}, Vec3{d[4], d[5], d[6]}};
}

std::string AnswerText(int code, const MeasuredPoint& at, const AnswerPlan& plan) {
    std::string text = "MELDAX ANSWER " + std::to_string(code) + "\n";
    if (plan.garbage) return text + "X?\n#####\n\nnot a number\n--\n@@@\n";
    Vec3 angles = DirectionAngles(at.direction);
    text += Number(at.point.x) + "\n" + Number(at.point.y) + "\n" + Number(at.point.z) + "\n";
    if (plan.shortAnswer) return text;
    return text + Number(angles.x) + "\n" + Number(angles.y) + "\n" + Number(angles.z) + "\n";
}

class GeopakMacro {
public:
    explicit GeopakMacro(const Config& config)
        : m_config(config), m_window(kWindowClass, kWindowTitle) {
        m_keys.Add(kRecordingEnd, kRecordingEndKeys);
    }

    int Run() {
        while (m_window.Alive()) {
            plat::WaitForPath(m_started ? InPath() : Exchange("GEO_COMM.ASK"), SliceMs());
            PumpKeys(0);
            if (plat::PathExists(Exchange("GEO_COMM.ASK"))) Handshake();
            if (!plat::PathExists(InPath())) continue;
            std::optional<std::vector<std::string>> lines = ClaimCommandFile(InPath());
            if (lines) Handle(*lines);
        }
        return 0;
    }

private:
    std::string Exchange(const char* name) const { return m_config.exchange + name; }
    std::string InPath() const { return Exchange("GEO_IN.DAT"); }

    void PumpKeys(uint32_t ms) {
        for (int id : m_keys.Feed(m_window.Keys(ms))) {
            if (id == kRecordingEnd) {
                m_recordingEnded = true;
                store::Count("geopak.recording_end");
            }
        }
    }

    void Handshake() {
        std::optional<std::vector<std::string>> lines = ClaimCommandFile(Exchange("GEO_COMM.ASK"));
        if (!lines) return;
        std::string command;
        for (const std::string& line : *lines) command += (command.empty() ? "" : "\n") + line;
        uint32_t delay = 0;
        store::Update([&](SimState& s) {
            s.startupCommands.push_back(command);
            ++s.counts["geopak.handshake"];
            delay = s.faults.slowHandshakeMs;
        });
        for (uint32_t start = plat::TickCount(); m_window.Alive() && plat::TickCount() - start < delay;)
            plat::Sleep(std::min(SliceMs(), delay - (plat::TickCount() - start)));
        PublishAnswerFile(Exchange("GEO_COMM.ANS"), "OK\n");
        if (command.rfind("CMD06", 0) == 0) m_started = true;
    }

    void Handle(const std::vector<std::string>& lines) {
        std::optional<Command> command = ParseCommand(lines);
        if (!command) {
            store::Count("geopak.bad_command");
            return;
        }
        m_started = true;  // a macro started by hand sends commands without a handshake
        ++m_handled;
        const Command& c = *command;
        if (c.code == 5 || c.code == 6) {
            Poll(c);
            return;
        }
        uint32_t crashAfter = 0;
        store::Update([&](SimState& s) {
            crashAfter = s.faults.crashAfter;
            bool known = c.code == 2 || c.code == 8 || c.code == 9 || c.code == 11 ||
                         c.code == 12 || c.code == 13;
            ++s.counts[known ? "geopak.code" + std::to_string(c.code) : "geopak.code_other"];
            if (c.code == 2) {
                s.machine.probeDiameter = c.first.x;
                s.machine.headA = c.first.y;
                s.machine.headB = c.first.z;
            } else if (c.code == 8 && !s.config.manual) {
                ProbeMove(s, InstalledScene(s.config), c.first, c.second);
            } else if (c.code == 9 && !s.config.manual) {
                MoveMachine(s, c.first);
            }
        });
        if (c.code == 13) m_started = false;  // the macro ends; the next handshake starts it
        CrashWhenDue(crashAfter);
    }

    bool StillWanted() {
        PumpKeys(0);
        return !m_recordingEnded;
    }

    // A position poll (code 6 first takes the approach vector). A point
    // already queued is counted, taken and answered in one state update.
    void Poll(const Command& c) {
        m_recordingEnded = false;
        AnswerPlan plan;
        std::optional<MeasuredPoint> point;
        bool taken = false;
        SimState s = store::Update([&](SimState& s) {
            ++s.counts["geopak.code" + std::to_string(c.code)];
            if (c.code == 6) s.machine.approach = c.first;
            if (s.faults.answerDelayMs == 0) taken = TakePollAnswer(s, Side::kGeopak, c.code, plan, point);
        });
        while (!taken) {
            if (!s.config.pollPosition) {
                WaitEnd end = WaitWhileServing(
                    m_window, InPath(), plat::kInfinite,
                    [] { return !store::Read().queue.empty(); }, [this] { return StillWanted(); });
                if (end != WaitEnd::kReady) return Dropped();
            }
            uint32_t delay = s.faults.answerDelayMs;
            if (delay > 0 && WaitWhileServing(m_window, InPath(), delay, [] { return false; },
                                              [this] { return StillWanted(); }) != WaitEnd::kElapsed)
                return Dropped();
            // Another process may have taken the point meanwhile: wait again.
            s = store::Update([&](SimState& s) { taken = TakePollAnswer(s, Side::kGeopak, c.code, plan, point); });
        }
        if (plan.answer) {
            PublishAnswerFile(Exchange("GEO_OUT.DAT"),
                              AnswerText(c.code, point ? *point : CurrentPosition(s), plan), plan.lockMs);
        }
        CrashWhenDue(plan.crashAfter);
    }

    void Dropped() { store::Count("geopak.dropped"); }

    void CrashWhenDue(uint32_t crashAfter) {
        if (crashAfter != 0 && m_handled >= crashAfter) Crash(m_window, "geopak3");
    }

    Config m_config;
    SimWindow m_window;
    KeySequences m_keys;
    bool m_started = false;
    bool m_recordingEnded = false;
    uint32_t m_handled = 0;
};

}  // namespace

int RunGeopak3(const Args&) {
    if (plat::FindWindowByTitle(kWindowTitle) != plat::kNoWindow) return 0;  // one instance
    PidRecord pid("geopak3");
    GeopakMacro macro(store::Read().config);
    return macro.Run();
}

}  // namespace cmmsim
