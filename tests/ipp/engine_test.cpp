// The engine against a fake machine: transcripts of whole exchanges (every
// response line, in order), the error state, daemons, abort and a client
// that leaves mid-probe.
#include "fake_machine.h"
#include "ipp_engine.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <thread>
#include <utility>

namespace {

using Lines = std::vector<std::string>;

class Server {
public:
    explicit Server(ipp::ToolTable tools = {}) : engine(machine, std::move(tools), [this] { return now; }) {
        engine.Attach([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(m_lock);
            m_out.push_back(line);
        });
    }
    // Sends the lines and runs the normal queue until it is empty.
    Lines Run(const Lines& commands) {
        for (const std::string& c : commands) engine.Receive(c);
        while (engine.ExecuteOne(0)) continue;
        return Take();
    }
    Lines Take() {
        std::lock_guard<std::mutex> lock(m_lock);
        return std::exchange(m_out, {});
    }

    FakeMachine machine;
    double now = 100;
    ipp::Engine engine;

private:
    std::mutex m_lock;
    Lines m_out;
};

const Lines kStart = {"00001 StartSession()", "00002 Home()"};

// The cases of tests/golden/ipp_transcripts.txt (its head says how they
// read), each a list of its lines without the "== name" line.
std::vector<std::pair<std::string, Lines>> Transcripts() {
    std::istringstream in(testsupport::Golden("ipp_transcripts.txt"));
    std::vector<std::pair<std::string, Lines>> cases;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("== ", 0) == 0) cases.push_back({line.substr(3), {}});
        else if (!cases.empty()) cases.back().second.push_back(line);
    }
    return cases;
}

TEST(IppEngine, Transcripts) {
    const auto cases = Transcripts();
    ASSERT_FALSE(cases.empty());
    for (const auto& [name, lines] : cases) {
        SCOPED_TRACE(name);
        std::string toolText;
        for (const std::string& line : lines)
            if (line.rfind("tool ", 0) == 0) toolText += line.substr(5) + "\n";
        ipp::ToolTable tools;
        std::string error;
        ASSERT_TRUE(toolText.empty() || tools.Load(toolText, error)) << error;
        Server s(tools);
        Lines sent, answered, calls;
        bool callsGiven = false;
        // Runs the batch gathered; its answers and calls as the case gives them.
        auto runBatch = [&] {
            const size_t before = s.machine.Calls().size();
            EXPECT_EQ(sent.empty() ? Lines{} : s.Run(sent), answered) << (sent.empty() ? "" : sent.front());
            const Lines all = s.machine.Calls();
            EXPECT_EQ(callsGiven ? Lines(all.begin() + static_cast<long>(before), all.end()) : calls, calls);
            sent.clear(), answered.clear(), calls.clear(), callsGiven = false;
        };
        for (const std::string& line : lines) {
            const std::string rest = line.size() > 2 ? line.substr(2) : "";
            if (line == "homed") s.Run(kStart);
            if (line.rfind("move-error ", 0) == 0) s.machine.moveError = std::stoi(line.substr(11));
            if (line[0] == '>' && (!answered.empty() || callsGiven)) runBatch();
            if (line[0] == '>') sent.push_back(std::regex_replace(rest, std::regex("\\\\t"), "\t"));
            if (line[0] == '<') answered.push_back(rest);
            if (line[0] == '@' && rest != "-") calls.push_back(rest);
            callsGiven |= line[0] == '@';
        }
        runBatch();
    }
    std::string bad;
    ipp::ToolTable tools;
    EXPECT_FALSE(tools.Load("P1 2\nP1 3\n", bad));
    EXPECT_EQ(bad, "line 2: tool \"P1\" is reserved or given twice");
    EXPECT_FALSE(tools.Load("P1 x\n", bad));
}

TEST(IppEngine, MoveDaemonRateAndStop) {
    Server s;
    s.Run(kStart);
    EXPECT_EQ(s.Run({"E0553 OnMoveReportE(Time(0.01), Dis(1), X(), Z())"}),
              (Lines{"E0553 &", "E0553 ! Error(1, 0504, OnMoveReportE, \"Argument out of range\")", "E0553 %"}));
    s.engine.OnPosition({10, 20, 30.5});  // within Dis
    s.engine.OnPosition({10, 20, 40});
    s.now += 0.05;
    s.engine.OnPosition({10, 20, 50});  // too soon: at most ten a second
    s.now += 0.06;
    s.engine.OnPosition({10, 20, 60});
    EXPECT_EQ(s.Take(), (Lines{"E0553 # X(10), Z(40)", "E0553 # X(10), Z(60)"}));
    // Errors leave daemons running; StopDaemon ends them before its "%".
    s.Run({"00003 Foo()", "00004 ClearAllErrors()"});
    s.now += 1;
    s.engine.OnPosition({10, 20, 70});
    EXPECT_EQ(s.Run({"00005 StopDaemon(E0553)"}), (Lines{"E0553 # X(10), Z(70)", "00005 &", "00005 %"}));
    s.now += 1;
    s.engine.OnPosition({10, 20, 80});
    EXPECT_TRUE(s.Take().empty());
}

// A homed session whose PtMeas (00004) the machine holds, a GoTo (00005)
// queued behind it.
void HoldProbe(Server& s) {
    s.Run(kStart);
    s.machine.holdProbe = true;
    s.Run({"00003 GoTo(X(0), Y(0), Z(10))"});
    s.engine.Receive("00004 PtMeas(X(0), Y(0), Z(0))");
    s.engine.Receive("00005 GoTo(Z(20))");
}

// AbortE while a probe runs: the probe and the command behind it end with
// 0006, AbortE's "%" comes last, then only ClearAllErrors helps.
TEST(IppEngine, AbortDuringProbe) {
    Server s;
    HoldProbe(s);
    std::thread executor([&s] {
        for (int i = 0; i < 3; ++i) s.engine.ExecuteOne(10);  // probe, GoTo, AbortE's end
    });
    ASSERT_TRUE(s.machine.WaitUntilProbing());
    s.engine.Receive("E0006 AbortE()");
    executor.join();
    Lines out = s.Run({"E0007 GetErrStatusE()", "00008 Get(X())", "00009 ClearAllErrors()", "00010 Get(X())"});
    EXPECT_EQ(out, (Lines{"00004 &", "00005 &", "E0006 &",
                          "00004 ! Error(2, 0006, PtMeas, \"Transaction aborted (Use ClearAllErrors To Continue)\")",
                          "00004 %",
                          "00005 ! Error(2, 0006, GoTo, \"Transaction aborted (Use ClearAllErrors To Continue)\")",
                          "00005 %", "E0006 %", "E0007 &", "E0007 # ErrStatus(1)", "E0007 %", "00008 &", "00009 &", "00010 &",
                          "00008 ! Error(2, 0514, Get, \"Use ClearAllErrors to continue\")", "00008 %", "00009 %",
                          "00010 # X(0)", "00010 %"}));
    EXPECT_EQ(s.machine.Calls().back(), "Measure 0 0 0 dir 0 0 -1");  // GoTo(Z(20)) never started
}

// A client that leaves mid-probe: nothing more is sent, the session ends
// once the probe returns, and the next client starts afresh.
TEST(IppEngine, ClientLeavesMidProbe) {
    Server s;
    HoldProbe(s);
    std::thread executor([&s] { s.engine.ExecuteOne(10); });
    ASSERT_TRUE(s.machine.WaitUntilProbing());
    s.machine.abortReleases = false;  // the next client comes before the probe returns
    s.engine.Detach();
    Lines next;
    s.engine.Attach([&next](const std::string& line) { next.push_back(line); });
    s.machine.Release();
    executor.join();
    s.Run({});
    EXPECT_TRUE(s.engine.Idle());
    EXPECT_EQ(s.machine.Calls().back(), "EndSession");
    EXPECT_TRUE(next.empty());  // nothing of the first client's reaches the next
    s.machine.holdProbe = false;
    s.Run({"00001 StartSession()", "00002 GoTo(Z(20))"});
    EXPECT_EQ(next, (Lines{"00001 &", "00002 &", "00001 %", "00002 %"}));
}

}  // namespace
