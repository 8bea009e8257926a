// cmm_bench: every figure of the protocols against the limit their own
// cadence implies, in one table: in this process against instant vendor
// sides, and against cmmsim as real processes on a real folder. Real time
// throughout, except the memory figure (see MemoryRows).
//   cmm_bench [--json FILE] [--exchanges N] [--seconds S]
#include "bench_support.h"
#include "cosmos/cosmos_exchange.h"
#include "cosmos/cosmos_protocol.h"
#include "framework/regfile.h"
#include "framework/toolbox.h"
#include "geopak/geopak_protocol.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

using namespace bench;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const std::string kVelmor = "C:\\COSMOS\\VELMOR\\";
const std::string kData = "C:\\DATA\\";

struct Options {
    std::string json;
    long exchanges = 100000;
    double seconds = 5;
};

// One line of the table. A figure is within its target when
// ratio <= target (atMost) or ratio >= target (!atMost); limit is the
// model's value in the same unit (0: no model share).
struct Row {
    Row(std::string f, std::string w, double v, std::string u, double l, double t, bool most = true, std::string n = "")
        : figure(std::move(f)), where(std::move(w)), value(v), unit(std::move(u)), limit(l), target(t), atMost(most),
          note(std::move(n)) {}
    std::string figure, where;
    double value;
    std::string unit;
    double limit, target;
    bool atMost;
    std::string note;
    double Ratio() const { return limit != 0 ? value / limit : 0; }
    bool Within() const { return atMost ? Ratio() <= target : Ratio() >= target; }
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> values, double q) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(q * static_cast<double>(values.size())))];
}

// The protocols' own cadence sets every limit:
//   COSMOS exchange   20 ms   (10 ms event slice + 10 ms look for a message file, then the answer)
//   COSMOS recording  33.3/s  (10 ms idle slice + one exchange)
//   GEOPAK round trip 50 ms   (the first look for the answer, 50 ms after the command)
//   GEOPAK recording  20/s    (one round trip per point)
// A COSMOS failure ends its timed run; a GEOPAK round trip whose answer
// missed the first look is only counted (under load that happens, and the
// times of the others still tell).
struct Side {
    std::string name, command;
    double commandMs, perSecond, p99Target;
    int count;
    bool lossy;
};
const Side kCosmos{"COSMOS", "COSMOS exchange", 20, 1000.0 / 30.0, 1.25, 300, false};
const Side kGeopak{"GEOPAK", "GEOPAK round trip", 50, 1000.0 / 50.0, 1.2, 100, true};

bool Once(MitutoyoCosmosProtocol& protocol) {
    ParameterMap poll;
    poll["Cmd"] = 5.0;
    return protocol.RunCommandExchange(poll) == 0;
}

bool Once(MitutoyoProtocol& protocol) {
    GeopakCommand poll(5);
    return protocol.SendGEOPAKCommand(poll) != FALSE;
}

// An instant vendor side: waits for each command file, takes it once its
// writer has let go, and renames a finished answer into place.
std::jthread Responder(const std::string& command, const std::string& answer, const std::string& bytes) {
    return std::jthread([=, native = plat::NativePath(answer)](std::stop_token stop) {
        while (!stop.stop_requested()) {
            if (!plat::WaitForPath(command, 50)) continue;
            if (!plat::File().Open(command, plat::kFileRead | plat::kShareDenyWrite)) {
                // The writer holds it for a fraction of a millisecond, and
                // the plug-in looks for the answer 20 ms (GEOPAK: 50 ms)
                // later. Trying again at once took ~130 opens a command,
                // a core that a loaded machine takes from the writer.
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
            if (!plat::RemoveFile(command)) continue;
            std::ofstream(native + ".part", std::ios::binary) << bytes;
            std::error_code error;
            fs::rename(native + ".part", native, error);
        }
    });
}

std::jthread SideFor(const MitutoyoCosmosProtocol*) {
    return Responder(kVelmor + "ZOR_GEO.DAT", kVelmor + "GEO_ZOR.DAT",
                     "Error=0\r\nActualX=1\r\nActualY=2\r\nActualZ=3\r\nActualA=0\r\nActualB=90\r\nActualC=90\r\n");
}

std::jthread SideFor(const MitutoyoProtocol*) {
    return Responder(kData + "GEO_IN.DAT", kData + "GEO_OUT.DAT",
                     "MELDAX ANSWER 5\r\n1\r\n2\r\n3\r\n90\r\n90\r\n0\r\n");
}

bool Sim(const std::vector<std::string>& args) {
    plat::ChildProcess sim;
    if (!sim.Start((fs::path(plat::CurrentExecutablePath()).parent_path() / "cmmsim").string(), args)) return false;
    if (!sim.Wait(20000)) sim.Kill();
    return sim.ExitCode() == 0;
}

// cmmsim installed ("install" and its flags) in a Scratch tree (environment
// set so that the programs the plug-in launches find it), shut down at the end.
class SimWorld {
public:
    explicit SimWorld(const std::vector<std::string>& install) : m_scratch("sim"), m_ok(Sim(install)) {}
    ~SimWorld() { Sim({"shutdown"}); }
    bool Ok() const { return m_ok; }

private:
    Scratch m_scratch;
    bool m_ok;
};

// Settings from an empty store: every default, which is where cmmsim installs.
template <typename Protocol>
std::unique_ptr<Protocol> Fresh() {
    static RegFileKey key("HKEY_CURRENT_USER\\Software\\cmm-bench");
    auto protocol = std::make_unique<Protocol>();
    protocol->ReadSettings(&key);
    return protocol;
}

template <typename Protocol>
void TimedRows(std::vector<Row>& rows, Protocol& protocol, const Side& side, const std::string& where) {
    std::vector<double> ms;
    int failed = 0;
    for (int i = 0; i < side.count; ++i) {
        const auto start = Clock::now();
        if (Once(protocol)) ms.push_back(Ms(Clock::now() - start));
        else if (++failed, !side.lossy) {
            ms.clear();
            break;
        }
    }
    const std::string missed = std::to_string(failed) + " of " + std::to_string(side.count) + " missed the first look";
    rows.push_back(Row{side.command + " median", where, Percentile(ms, 0.5), "ms", side.commandMs, 1.05, true,
                       side.lossy && failed > 0 ? missed : ""});
    rows.push_back(Row{side.command + " p99", where, Percentile(ms, 0.99), "ms", side.commandMs, side.p99Target});
}

// Positions (TYPE 2) per second reaching the host while a transaction is
// open, with the protocol's worker started for it.
void RecordingRow(std::vector<Row>& rows, CMMProtocolWithThread& protocol, const Side& side, const std::string& where,
                  double seconds) {
    protocol.StartThread();
    std::atomic<long> positions{0};
    protocol.SetClient([&](const ClientMessage& m) { positions += m.type == 2; });
    protocol.CMMProtocolWithThread::OnStartTransaction();
    const long before = positions;
    const auto start = Clock::now();
    // Notifications reach the host on its own thread, while it pumps messages.
    while (Ms(Clock::now() - start) < seconds * 1000) {
        plat::PumpMessages();
        plat::Sleep(5);
    }
    plat::PumpMessages();
    const double points = static_cast<double>(positions - before), elapsed = Ms(Clock::now() - start) / 1000;
    protocol.CMMProtocolWithThread::OnStopTransaction();
    protocol.SetClient(nullptr);
    rows.push_back(Row{side.name + " recording", where, points / elapsed, "points/s", side.perSecond, 0.95, false});
}

// Ends a run without the vendor side's own disconnect.
void Leave(CMMProtocolWithThread& protocol) {
    protocol.CMMProtocolWithThread::Disconnect();
    protocol.EndThread();
}

// Share of one core this process (all threads) spends while body runs.
Row CpuRow(const std::string& figure, const std::string& where, const std::function<void()>& body) {
    const std::clock_t cpu = std::clock();
    const auto start = Clock::now();
    body();
    const double seconds = static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    return Row{"CPU while waiting: " + figure, where, 100.0 * seconds / (Ms(Clock::now() - start) / 1000), "% core",
               0.5, 1.0};
}

Row IdleCpuRow(const std::string& where, const Options& o) {
    return CpuRow("idle connected", where, [&] { plat::Sleep(static_cast<uint32_t>(o.seconds * 1000)); });
}

Row WaitForFileLatencyRow() {
    Scratch scratch("latency");
    const std::string dos = "C:\\GEO_ZOR.DAT";
    std::vector<double> ms;
    for (int i = 0; i < 300; ++i) {
        plat::RemoveFile(dos);
        std::atomic<Clock::rep> createdAt{0};
        std::thread writer([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            createdAt = Clock::now().time_since_epoch().count();
            std::ofstream(plat::NativePath(dos)) << "Error=0\n";
        });
        const bool seen = WaitForFile(dos, 5000);
        const auto returnedAt = Clock::now().time_since_epoch().count();
        writer.join();
        if (seen) ms.push_back(Ms(Clock::duration(returnedAt - createdAt.load())));
    }
    return Row{"WaitForFile latency over the file's appearance (median)", "in-process", Percentile(ms, 0.5), "ms", 1.0,
               1.0, true, "limit: 1 ms added"};
}

// Where an exchange's time goes: its two fixed waits, each against its
// nominal 10 ms, and the writing of the parameter file and its backup.
void BreakdownRows(std::vector<Row>& rows) {
    Scratch scratch("breakdown");
    std::vector<double> slice, look, write;
    plat::Event never(true);
    plat::Event* const events[] = {&never};
    ParameterMap poll;
    poll["Cmd"] = 5.0;
    const auto timed = [](std::vector<double>& into, const std::function<void()>& part) {
        const auto start = Clock::now();
        part();
        into.push_back(Ms(Clock::now() - start));
    };
    for (int i = 0; i < 100; ++i) {
        timed(slice, [&] { plat::WaitAny(events, 1, 10); });
        timed(look, [&] { WaitForFile(kVelmor + "REMOTE.MSG", 10); });
        timed(write, [&] { WriteParameterFileWithBackup(poll, kVelmor + "ZOR_GEO.DAT"); });
        plat::RemoveFile(kVelmor + "ZOR_GEO.DAT");
    }
    rows.push_back(Row{"  part: event slice (median)", "in-process", Percentile(slice, 0.5), "ms", 10, 1.05});
    rows.push_back(Row{"  part: message-file look (median)", "in-process", Percentile(look, 0.5), "ms", 10, 1.05});
    rows.push_back(Row{"  part: parameter file + backup written (median)", "in-process", Percentile(write, 0.5), "ms",
                       0, 0, true, "no model share"});
}

// A side's timed commands, then its recording rate, against an instant
// vendor side in this process.
template <typename Protocol>
void InProcessSideRows(std::vector<Row>& rows, const Side& side, const Options& o) {
    Scratch scratch(side.name);
    auto protocol = Fresh<Protocol>();
    const std::jthread vendor = SideFor(protocol.get());
    TimedRows(rows, *protocol, side, "in-process");
    protocol->CMMProtocolWithThread::Connect();
    RecordingRow(rows, *protocol, side, "in-process", o.seconds);
    Leave(*protocol);
}

std::vector<Row> InProcessRows(const Options& o) {
    std::vector<Row> rows{WaitForFileLatencyRow()};
    InProcessSideRows<MitutoyoCosmosProtocol>(rows, kCosmos, o);
    BreakdownRows(rows);
    InProcessSideRows<MitutoyoProtocol>(rows, kGeopak, o);
    Scratch scratch("cpu");
    auto cosmos = Fresh<MitutoyoCosmosProtocol>();
    cosmos->CMMProtocolWithThread::Connect();
    cosmos->StartThread();
    rows.push_back(IdleCpuRow("in-process", o));
    Leave(*cosmos);
    // The wait of a command nobody answers, bounded here by its time-out.
    plat::Event never(true);
    plat::Event* const events[] = {&never};
    ParameterMap map;
    rows.push_back(CpuRow("unanswered command", "in-process", [&] {
        AwaitCosmosAnswer(map, kVelmor + "GEO_ZOR.DAT", kVelmor + "REMOTE.MSG", events, 1,
                          static_cast<DWORD>(o.seconds * 1000));
    }));
    // The same 100 wake-ups a second without a look (idle connected wakes as
    // often): what the machine charges for the cadence itself, the part of
    // both figures above that no code of ours can cut.
    const Row cadence = CpuRow("", "in-process", [&] {
        for (const auto start = Clock::now(); Ms(Clock::now() - start) < o.seconds * 1000;) {
            plat::WaitAny(events, 1, 10);
            plat::Sleep(10);
            plat::Sleep(10);
        }
    });
    rows.push_back(Row{"  part: 100 wake-ups/s alone (10 ms sleeps, no look)", cadence.where, cadence.value, cadence.unit,
                       0, 0, true, "no model share"});
    return rows;
}

// Resident memory after 1k and after many COSMOS exchanges. At 20 ms each,
// 100k exchanges take 33 minutes, so the exchange's own waits run on the
// seam's time scale (1000: a 10 ms slice takes 10 us); the files, maps and
// notification waits of every exchange are real.
void MemoryRows(std::vector<Row>& rows, const Options& o) {
    Scratch scratch("memory");
    plat::SetTimeScale(1000.0);
    auto cosmos = Fresh<MitutoyoCosmosProtocol>();
    const std::jthread vendor = SideFor(cosmos.get());
    const auto mib = [] { return static_cast<double>(plat::ResidentMemoryBytes()) / (1024.0 * 1024.0); };
    double after1k = 0;
    long done = 0;
    for (long i = 1; i <= o.exchanges && Once(*cosmos); ++i, ++done) {
        if (i % 10000 == 0) std::fprintf(stderr, "cmm_bench: %ld exchanges\n", i);
        if (i == 1000) after1k = mib();
    }
    const double afterAll = mib();
    plat::SetTimeScale(1.0);
    const std::string n = std::to_string(done / 1000) + "k";
    rows.push_back(Row{"RSS after 1k COSMOS exchanges", "in-process", after1k, "MiB", 0, 0, true, "time scale 1000"});
    rows.push_back(Row{"RSS after " + n + " COSMOS exchanges", "in-process", afterAll, "MiB", 0, 0, true,
                       "time scale 1000"});
    rows.push_back(Row{"RSS growth 1k -> " + n, "in-process", afterAll - after1k, "MiB", 1.0, 1.0, true,
                       "limit: 1 MiB; time scale 1000"});
}

// A side's timed commands and recording rate against cmmsim; false when its
// vendor program did not connect.
template <typename Protocol>
bool SimSideRows(std::vector<Row>& rows, const Side& side, const Options& o, bool idleCpu) {
    SimWorld world({"install", "--poll-position"});
    auto protocol = Fresh<Protocol>();
    if (!world.Ok() || !protocol->Connect()) {
        std::fprintf(stderr, "cmm_bench: cmmsim's %s did not connect\n", side.name.c_str());
        return false;
    }
    TimedRows(rows, *protocol, side, "cmmsim");
    RecordingRow(rows, *protocol, side, "cmmsim", o.seconds);
    if (idleCpu) rows.push_back(IdleCpuRow("cmmsim", o));
    idleCpu ? protocol->Disconnect() : protocol->CMMProtocolWithThread::Disconnect();
    return protocol->EndThread(), true;
}

void SimRows(std::vector<Row>& rows, const Options& o) {
    if (!SimSideRows<MitutoyoCosmosProtocol>(rows, kCosmos, o, true)) return;
    {
        SimWorld world({"install", "--poll-position", "--answer-delay", std::to_string(static_cast<int>(o.seconds * 1000))});
        auto cosmos = Fresh<MitutoyoCosmosProtocol>();
        if (world.Ok() && cosmos->Connect()) {
            rows.push_back(CpuRow("unanswered command", "cmmsim", [&] { Once(*cosmos); }));
            cosmos->CMMProtocolWithThread::Disconnect();
        }
    }
    SimSideRows<MitutoyoProtocol>(rows, kGeopak, o, false);
}

void Print(const std::vector<Row>& rows) {
    std::printf("| figure | where | measured | model limit | ratio | target |\n|---|---|---|---|---|---|\n");
    for (const Row& r : rows) {
        if (r.limit == 0) {
            std::printf("| %s | %s | %.2f %s | | | %s |\n", r.figure.c_str(), r.where.c_str(), r.value, r.unit.c_str(),
                        r.note.c_str());
            continue;
        }
        std::printf("| %s | %s | %.2f %s | %.2f %s | %.3f | %s %.2f%s |\n", r.figure.c_str(), r.where.c_str(),
                    r.value, r.unit.c_str(), r.limit, r.unit.c_str(), r.Ratio(), r.atMost ? "<=" : ">=", r.target,
                    r.Within() ? "" : " MISSED");
        if (!r.note.empty() && r.limit != 0) std::printf("|  | | | | | (%s) |\n", r.note.c_str());
    }
}

bool WriteJson(const std::vector<Row>& rows, const std::string& path) {
    nlohmann::json out = nlohmann::json::array();
    for (const Row& r : rows) {
        out.push_back({{"figure", r.figure}, {"where", r.where}, {"value", r.value}, {"unit", r.unit},
                       {"limit", r.limit}, {"ratio", r.Ratio()}, {"target", r.target},
                       {"target_is", r.atMost ? "at most" : "at least"}, {"within", r.limit == 0 || r.Within()},
                       {"note", r.note}});
    }
    std::ofstream file(path);
    file << out.dump(1) << "\n";
    return static_cast<bool>(file);
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i], value = argv[i + 1];
        if (arg == "--json") o.json = value;
        else if (arg == "--exchanges") o.exchanges = std::max(1000L, std::atol(value.c_str()));
        else if (arg == "--seconds") o.seconds = std::max(1.0, std::atof(value.c_str()));
        else return false;
    }
    return argc % 2 == 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: cmm_bench [--json FILE] [--exchanges N] [--seconds S]\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::fprintf(stderr, "cmm_bench: in-process figures ...\n");
    std::vector<Row> rows = InProcessRows(options);
    std::fprintf(stderr, "cmm_bench: figures against cmmsim ...\n");
    SimRows(rows, options);
    std::fprintf(stderr, "cmm_bench: %ld exchanges for the memory figures ...\n", options.exchanges);
    MemoryRows(rows, options);
    Print(rows);
    if (!options.json.empty() && !WriteJson(rows, options.json)) {
        std::fprintf(stderr, "cmm_bench: cannot write %s\n", options.json.c_str());
        return 1;
    }
    return 0;
}
