// The engine against a fake machine: transcripts of whole exchanges (every
// response line, in order), the error state, daemons, abort and a client
// that leaves mid-probe.
#include "fake_machine.h"
#include "ipp_engine.h"

#include <gtest/gtest.h>

#include <thread>

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
        while (engine.ExecuteOne(0)) {
        }
        return Take();
    }
    Lines Take() {
        std::lock_guard<std::mutex> lock(m_lock);
        Lines out;
        out.swap(m_out);
        return out;
    }

    FakeMachine machine;
    double now = 100;
    ipp::Engine engine;

private:
    std::mutex m_lock;
    Lines m_out;
};

const Lines kStart = {"00001 StartSession()", "00002 Home()"};

TEST(IppEngine, SessionMoveAndRead) {
    Server s;
    EXPECT_EQ(s.Run({"00001 StartSession()", "00002 Home()", "00003 GoTo(X(100), Y(150), Z(200))",
                     "00004 Get(X(), Y())", "00005 GoTo(Z(50))", "00006 Get(Z(),X())", "00007 EndSession()"}),
              (Lines{"00001 &", "00002 &", "00003 &", "00004 &", "00005 &", "00006 &", "00007 &", "00001 %",
                     "00002 %", "00003 %", "00004 # X(100), Y(150)", "00004 %", "00005 %",
                     "00006 # Z(50), X(100)", "00006 %", "00007 %"}));
    EXPECT_EQ(s.machine.Calls(),
              (Lines{"StartSession", "MoveTo 100 150 200", "MoveTo 100 150 50", "EndSession"}));
}

// Each row: a fresh homed session, then the commands; the lines after the
// session's own.
struct Exchange {
    const char* name;
    Lines commands, expected;
};

TEST(IppEngine, ErrorTable) {
    const std::vector<Exchange> rows = {
        {"unknown method", {"00003 ScanOnCircle(1,2,3)"},
         {"00003 &", "00003 ! Error(3, 0501, ScanOnCircle, \"Unsupported command\")", "00003 %"}},
        {"error state until cleared", {"00003 Foo()", "00004 IsHomed()", "E0005 GetErrStatusE()",
                                       "00006 ClearAllErrors()", "00007 IsHomed()"},
         // The fast queue answers before Foo has run.
         {"00003 &", "00004 &", "E0005 &", "E0005 # ErrStatus(0)", "E0005 %", "00006 &", "00007 &",
          "00003 ! Error(3, 0501, Foo, \"Unsupported command\")", "00003 %",
          "00004 ! Error(2, 0514, IsHomed, \"Use ClearAllErrors to continue\")", "00004 %", "00006 %",
          "00007 # IsHomed(1)", "00007 %"}},
        {"session twice", {"00003 StartSession()"},
         {"00003 &", "00003 ! Error(3, 0008, StartSession, \"Protocol error\")", "00003 %"}},
        {"bad tag and column 6", {"0003 Home()", "00003Home()"},
         {"E0000 ! Error(2, 0001, Unknown, \"Illegal tag\")", "00003 &",
          "00003 ! Error(2, 0002, Unknown, \"No space at pos. 6\")", "00003 %"}},
        {"illegal character", {"00003 Home()\t"},
         {"00003 &", "00003 ! Error(3, 0007, Unknown, \"Illegal character\")", "00003 %"}},
        {"bad argument", {"00003 GoTo(X(1), )"},
         {"00003 &", "00003 ! Error(3, 0509, GoTo, \"Bad argument\")", "00003 %"}},
        {"fast method on a normal tag", {"00003 AbortE()"},
         {"00003 &", "00003 ! Error(3, 0508, AbortE, \"Bad context\")", "00003 %"}},
        {"normal method on an E-tag", {"E0003 Home()"},
         {"E0003 &", "E0003 ! Error(3, 0508, Home, \"Bad context\")", "E0003 %"}},
        {"machine limit", {"00003 GoTo(X(100000))"},
         {"00003 &", "00003 ! Error(3, 2500, GoTo, \"Machine limit encountered [Move Out Of Limits]\")",
          "00003 %"}},
        {"probe without norm", {"00003 PtMeas(X(10),Y(20),Z(30))"},
         {"00003 &", "00003 ! Error(2, 1010, PtMeas, \"Vector has no norm\")", "00003 %"}},
        {"IJK alone", {"00003 PtMeas(IJK(0,0,1))"},
         {"00003 &", "00003 ! Error(3, 0509, PtMeas, \"Bad argument\")", "00003 %"}},
        {"unknown tool", {"00003 ChangeTool(\"Nope\")"},
         {"00003 &", "00003 ! Error(3, 1502, ChangeTool, \"Tool not found\")", "00003 %"}},
        {"theta", {"00003 SetCsyTransformation(PartCsy, 0, 0, 0, 181, 0, 0)"},
         {"00003 &", "00003 ! Error(3, 1007, SetCsyTransformation, \"Theta out of range\")", "00003 %"}},
        {"report item", {"00003 OnPtMeasReport(X(), Temp())"},
         {"00003 &", "00003 ! Error(3, 0510, OnPtMeasReport, \"Bad property\")", "00003 %"}},
        {"daemons", {"00003 StopAllDaemons()", "00004 StopDaemon(E0001)"},
         {"00003 &", "00004 &", "00003 ! Error(1, 0512, StopAllDaemons, \"No daemons are active\")", "00003 %",
          "00004 ! Error(2, 0513, StopDaemon, \"Daemon does not exist\")", "00004 %"}},
        {"daemon twice", {"E0009 OnMoveReportE(Time(1), Dis(0), X())", "E0009 OnMoveReportE(Time(1), X())"},
         {"E0009 &", "E0009 %", "E0000 ! Error(2, 0001, OnMoveReportE, \"Illegal tag\")"}},
        {"clamped parameter", {"00003 SetProp(Tool.PtMeasPar.Speed(1000))", "00004 GetProp(Tool.PtMeasPar.Speed())"},
         {"00003 &", "00004 &", "00003 ! Error(1, 0504, SetProp, \"Argument out of range\")", "00003 %",
          "00004 # Tool.PtMeasPar.Speed(50)", "00004 %"}},
        {"only Act is the client's", {"00003 SetProp(Tool.GoToPar.Speed.Max(10))"},
         {"00003 &", "00003 ! Error(3, 0509, SetProp, \"Bad argument\")", "00003 %"}},
    };
    for (const Exchange& row : rows) {
        SCOPED_TRACE(row.name);
        Server s;
        s.machine.moveError = std::string(row.name) == "machine limit" ? 2500 : 0;
        s.Run(kStart);
        EXPECT_EQ(s.Run(row.commands), row.expected);
    }
}

TEST(IppEngine, SessionGate) {
    Server s;
    EXPECT_EQ(s.Run({"00001 Home()", "00002 EndSession()", "E0003 GetPropE(Tool.Name())"}),
              (Lines{"00001 &", "00002 &", "E0003 &", "E0003 ! Error(3, 0008, GetPropE, \"Protocol error\")",
                     "E0003 %", "00001 ! Error(3, 0008, Home, \"Protocol error\")", "00001 %", "00002 %"}));
    EXPECT_TRUE(s.machine.Calls().empty());
    s.Run(kStart);
    EXPECT_EQ(s.Run({"00003 GoTo(X(1))", "00004 ClearAllErrors()", "00005 EndSession()", "00006 StartSession()",
                     "00007 GoTo(X(1))"}).back(),
              "00007 %");  // homed once, homed for good
}

TEST(IppEngine, ToolsAndProperties) {
    ipp::ToolTable tools;
    std::string error;
    ASSERT_TRUE(tools.Load("# name diameter [A B]\nP2 2\nP4 4 90 180\n", error)) << error;
    Server s(tools);
    s.Run(kStart);
    EXPECT_EQ(s.Run({"00003 EnumTools()", "00004 SetProp(Tool.GoToPar.Speed(50))", "00005 ChangeTool(\"P4\")",
                     "00006 GetProp(Tool.Name(), Tool.AvrRadius(), Tool.GoToPar.Speed(), Tool.GoToPar.Speed.Max())",
                     "00007 FindTool(\"P2\")", "00008 GetProp(FoundTool.Name())", "00009 GetChangeToolAction(\"P4\")",
                     "00010 EnumProp(Tool.PtMeasPar())", "00011 EnumAllProp(Tool.GoToPar())"}),
              (Lines{"00003 &", "00004 &", "00005 &", "00006 &", "00007 &", "00008 &", "00009 &", "00010 &",
                     "00011 &", "00003 # \"RefTool\"", "00003 # \"NoTool\"", "00003 # \"P2\"", "00003 # \"P4\"",
                     "00003 %", "00004 %", "00005 %",
                     "00006 # Tool.Name(\"P4\"), Tool.AvrRadius(2), Tool.GoToPar.Speed(100), "
                     "Tool.GoToPar.Speed.Max(500)",
                     "00006 %", "00007 %", "00008 # FoundTool.Name(\"P2\")", "00008 %",
                     "00009 # ChangeToolAction(Switch, X(0), Y(0), Z(0))", "00009 %",
                     "00010 # \"Speed\", \"Number\"", "00010 # \"Accel\", \"Number\"",
                     "00010 # \"Approach\", \"Number\"", "00010 # \"Search\", \"Number\"",
                     "00010 # \"Retract\", \"Number\"", "00010 %", "00011 # \"Speed\", \"Number\"",
                     "00011 # \"Speed.Max\", \"Number\"", "00011 # \"Speed.Min\", \"Number\"",
                     "00011 # \"Speed.Act\", \"Number\"", "00011 # \"Speed.Def\", \"Number\"",
                     "00011 # \"Accel\", \"Number\"", "00011 # \"Accel.Max\", \"Number\"",
                     "00011 # \"Accel.Min\", \"Number\"", "00011 # \"Accel.Act\", \"Number\"",
                     "00011 # \"Accel.Def\", \"Number\"", "00011 %"}));
    EXPECT_EQ(s.machine.Calls().back(), "SetHead 90 180 4");
    std::string bad;
    EXPECT_FALSE(tools.Load("P1 2\nP1 3\n", bad));
    EXPECT_EQ(bad, "line 2: tool \"P1\" is reserved or given twice");
    EXPECT_FALSE(tools.Load("P1 x\n", bad));
}

TEST(IppEngine, ProbeReportsInPartCoordinates) {
    Server s;
    s.Run(kStart);
    // Part origin at (100, 50, 0), turned by 90 degrees about z.
    Lines out = s.Run({"00003 SetCsyTransformation(PartCsy, 100, 50, 0, 0, 90, 0)", "00004 SetCoordSystem(PartCsy)",
                       "00005 OnPtMeasReport(X(), Y(), Z(), IJK(), ER(), Tool.A())", "00006 GoTo(X(0), Y(0), Z(10))",
                       "00007 PtMeas(X(0), Y(0), Z(0))", "00008 GetCsyTransformation(PartCsy)",
                       "00009 GetCoordSystem()"});
    EXPECT_EQ(Lines(out.end() - 7, out.end()),
              (Lines{"00006 %", "00007 # X(0), Y(0), Z(0.5), IJK(0, 0, 1), ER(1), Tool.A(0)", "00007 %",
                     "00008 # GetCsyTransformation(100, 50, 0, 0, 90, 0)", "00008 %", "00009 # CoordSystem(PartCsy)",
                     "00009 %"}));
    const Lines calls = s.machine.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1], "MoveTo 100 50 10");
    EXPECT_EQ(calls[2], "Measure 100 50 0 dir 0 0 -1");
    // Ten along the part's x is ten along the machine's y.
    s.Run({"00010 GoTo(X(10))"});
    EXPECT_EQ(s.machine.Calls().back(), "MoveTo 100 60 0.5");
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

// AbortE while a probe runs: the probe and the command behind it end with
// 0006, AbortE's "%" comes last, then only ClearAllErrors helps.
TEST(IppEngine, AbortDuringProbe) {
    Server s;
    s.Run(kStart);
    s.machine.holdProbe = true;
    s.Run({"00003 GoTo(X(0), Y(0), Z(10))"});
    s.engine.Receive("00004 PtMeas(X(0), Y(0), Z(0))");
    s.engine.Receive("00005 GoTo(Z(20))");
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
    s.Run(kStart);
    s.machine.holdProbe = true;
    s.Run({"00003 GoTo(X(0), Y(0), Z(10))"});
    s.engine.Receive("00004 PtMeas(X(0), Y(0), Z(0))");
    s.engine.Receive("00005 GoTo(Z(20))");
    std::thread executor([&s] { s.engine.ExecuteOne(10); });
    ASSERT_TRUE(s.machine.WaitUntilProbing());
    s.machine.abortReleases = false;  // the next client comes before the probe returns
    s.engine.Detach();
    Lines next;
    s.engine.Attach([&next](const std::string& line) { next.push_back(line); });
    s.machine.Release();
    executor.join();
    while (s.engine.ExecuteOne(0)) {
    }
    EXPECT_TRUE(s.engine.Idle());
    EXPECT_EQ(s.machine.Calls().back(), "EndSession");
    EXPECT_TRUE(next.empty());  // nothing of the first client's reaches the next
    s.Take();
    s.machine.holdProbe = false;
    s.engine.Receive("00001 StartSession()");
    s.engine.Receive("00002 GoTo(Z(20))");
    while (s.engine.ExecuteOne(0)) {
    }
    EXPECT_EQ(next, (Lines{"00001 &", "00002 &", "00001 %", "00002 %"}));
}

}  // namespace
