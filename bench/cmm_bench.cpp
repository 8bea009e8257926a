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

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>

namespace {

using namespace bench;

const std::string kVelmor = "C:\\COSMOS\\VELMOR\\";
const std::string kData = "C:\\DATA\\";
constexpr double kCosmosExchangeMs = 20, kCosmosPerSecond = 1000.0 / 30.0;
constexpr double kGeopakRoundTripMs = 50, kGeopakPerSecond = 1000.0 / 50.0;

struct Options {
    std::string json;
    long exchanges = 100000;
    double seconds = 5;
};

Responder CosmosSide() {
    return {kVelmor + "ZOR_GEO.DAT", kVelmor + "GEO_ZOR.DAT",
            "Error=0\r\nActualX=1\r\nActualY=2\r\nActualZ=3\r\nActualA=0\r\nActualB=90\r\nActualC=90\r\n"};
}

Responder GeopakSide() {
    return {kData + "GEO_IN.DAT", kData + "GEO_OUT.DAT", "MELDAX ANSWER 5\r\n1\r\n2\r\n3\r\n90\r\n90\r\n0\r\n"};
}

// Settings from an empty store: every default, which is where cmmsim installs.
template <typename Protocol>
std::unique_ptr<Protocol> Fresh() {
    static RegFileKey key("HKEY_CURRENT_USER\\Software\\cmm-bench");
    auto protocol = std::make_unique<Protocol>();
    protocol->ReadSettings(&key);
    return protocol;
}

std::vector<Row> TimedRows(const std::string& figure, const std::string& where, const std::vector<double>& ms,
                           double limit, double medianTarget, double p99Target) {
    return {Row{figure + " median", where, Percentile(ms, 0.5), "ms", limit, medianTarget, true, ""},
            Row{figure + " p99", where, Percentile(ms, 0.99), "ms", limit, p99Target, true, ""}};
}

std::vector<double> CosmosExchanges(MitutoyoCosmosProtocol& protocol, int count) {
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        ParameterMap poll;
        poll["Cmd"] = 5.0;
        const auto start = Clock::now();
        if (protocol.RunCommandExchange(poll) != 0) return {};
        ms.push_back(Ms(Clock::now() - start));
    }
    return ms;
}

// A round trip whose answer missed the first look is counted onto missed;
// under load that happens, and the times of the others still tell.
std::vector<double> GeopakRoundTrips(MitutoyoProtocol& protocol, int count, int& missed) {
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        GeopakCommand poll(5);
        const auto start = Clock::now();
        if (protocol.SendGEOPAKCommand(poll)) ms.push_back(Ms(Clock::now() - start));
        else ++missed;
    }
    return ms;
}

std::vector<Row> GeopakRoundTripRows(MitutoyoProtocol& protocol, const std::string& where) {
    int missed = 0;
    std::vector<Row> rows = TimedRows("GEOPAK round trip", where, GeopakRoundTrips(protocol, 100, missed),
                                      kGeopakRoundTripMs, 1.05, 1.2);
    if (missed > 0) rows[0].note = std::to_string(missed) + " of 100 missed the first look";
    return rows;
}

// Positions (TYPE 2) per second reaching the host while a transaction is open.
double RecordingRate(CMMProtocolWithThread& protocol, double seconds) {
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
    const double rate = static_cast<double>(positions - before) / (Ms(Clock::now() - start) / 1000);
    protocol.CMMProtocolWithThread::OnStopTransaction();
    protocol.SetClient(nullptr);
    return rate;
}

// What body returns, run with the protocol connected the framework's way
// and its worker thread running.
template <typename Body>
auto WithWorker(CMMProtocolWithThread& protocol, Body body) {
    protocol.CMMProtocolWithThread::Connect();
    protocol.StartThread();
    const auto result = body();
    protocol.CMMProtocolWithThread::Disconnect();
    protocol.EndThread();
    return result;
}

// Share of one core this process spends while body runs.
double CpuPercent(const std::function<void()>& body) {
    const double cpu = ProcessCpuSeconds();
    const auto start = Clock::now();
    body();
    return 100.0 * (ProcessCpuSeconds() - cpu) / (Ms(Clock::now() - start) / 1000);
}

Row CpuRow(const std::string& figure, const std::string& where, double percent) {
    return Row{"CPU while waiting: " + figure, where, percent, "% core", 0.5, 1.0, true, ""};
}

// Where an exchange's time goes: its two fixed waits, each against its
// nominal 10 ms, and the writing of the parameter file and its backup.
std::vector<Row> BreakdownRows() {
    Scratch scratch("breakdown");
    std::vector<double> slice, look, write;
    plat::Event never(true);
    plat::Event* const events[] = {&never};
    ParameterMap poll;
    poll["Cmd"] = 5.0;
    for (int i = 0; i < 100; ++i) {
        auto t0 = Clock::now();
        plat::WaitAny(events, 1, 10);
        auto t1 = Clock::now();
        WaitForFile(kVelmor + "REMOTE.MSG", 10);
        auto t2 = Clock::now();
        WriteParameterFileWithBackup(poll, kVelmor + "ZOR_GEO.DAT");
        auto t3 = Clock::now();
        plat::RemoveFile(kVelmor + "ZOR_GEO.DAT");
        slice.push_back(Ms(t1 - t0));
        look.push_back(Ms(t2 - t1));
        write.push_back(Ms(t3 - t2));
    }
    return {Row{"  part: event slice (median)", "in-process", Percentile(slice, 0.5), "ms", 10, 1.05, true, ""},
            Row{"  part: message-file look (median)", "in-process", Percentile(look, 0.5), "ms", 10, 1.05, true, ""},
            Row{"  part: parameter file + backup written (median)", "in-process", Percentile(write, 0.5), "ms", 0, 0,
                true, "no model share"}};
}

std::vector<Row> InProcessRows(const Options& o) {
    std::vector<Row> rows;
    {
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
        rows.push_back(Row{"WaitForFile latency over the file's appearance (median)", "in-process",
                           Percentile(ms, 0.5), "ms", 1.0, 1.0, true, "limit: 1 ms added"});
    }
    {
        Scratch scratch("cosmos");
        Responder side = CosmosSide();
        auto cosmos = Fresh<MitutoyoCosmosProtocol>();
        for (Row& r : TimedRows("COSMOS exchange", "in-process", CosmosExchanges(*cosmos, 300), kCosmosExchangeMs,
                                1.05, 1.25))
            rows.push_back(r);
        rows.push_back(Row{"COSMOS recording", "in-process",
                           WithWorker(*cosmos, [&] { return RecordingRate(*cosmos, o.seconds); }), "points/s",
                           kCosmosPerSecond, 0.95, false, ""});
    }
    for (Row& r : BreakdownRows()) rows.push_back(r);
    {
        Scratch scratch("geopak");
        Responder side = GeopakSide();
        auto geopak = Fresh<MitutoyoProtocol>();
        for (Row& r : GeopakRoundTripRows(*geopak, "in-process")) rows.push_back(r);
        rows.push_back(Row{"GEOPAK recording", "in-process",
                           WithWorker(*geopak, [&] { return RecordingRate(*geopak, o.seconds); }), "points/s",
                           kGeopakPerSecond, 0.95, false, ""});
    }
    {
        Scratch scratch("cpu");
        auto cosmos = Fresh<MitutoyoCosmosProtocol>();
        rows.push_back(CpuRow("idle connected", "in-process", WithWorker(*cosmos, [&] {
                                  return CpuPercent([&] { plat::Sleep(static_cast<uint32_t>(o.seconds * 1000)); });
                              })));
        // The wait of a command nobody answers, bounded here by its time-out.
        plat::Event never(true);
        plat::Event* const events[] = {&never};
        ParameterMap map;
        rows.push_back(CpuRow("unanswered command", "in-process", CpuPercent([&] {
                                  AwaitCosmosAnswer(map, kVelmor + "GEO_ZOR.DAT", kVelmor + "REMOTE.MSG", events, 1,
                                                    static_cast<DWORD>(o.seconds * 1000));
                              })));
    }
    return rows;
}

// Resident memory after 1k and after many COSMOS exchanges. At 20 ms each,
// 100k exchanges take 33 minutes, so the exchange's own waits run on the
// seam's time scale (1000: a 10 ms slice takes 10 us); the files, maps and
// notification waits of every exchange are real.
std::vector<Row> MemoryRows(const Options& o) {
    Scratch scratch("memory");
    plat::SetTimeScale(1000.0);
    Responder side = CosmosSide();
    auto cosmos = Fresh<MitutoyoCosmosProtocol>();
    double after1k = 0, afterAll = 0;
    long done = 0;
    for (long i = 1; i <= o.exchanges; ++i, ++done) {
        ParameterMap poll;
        poll["Cmd"] = 5.0;
        if (cosmos->RunCommandExchange(poll) != 0) break;
        if (i % 10000 == 0) std::fprintf(stderr, "cmm_bench: %ld exchanges\n", i);
        if (i == 1000) after1k = static_cast<double>(plat::ResidentMemoryBytes()) / (1024.0 * 1024.0);
    }
    afterAll = static_cast<double>(plat::ResidentMemoryBytes()) / (1024.0 * 1024.0);
    plat::SetTimeScale(1.0);
    const std::string n = std::to_string(done / 1000) + "k";
    return {Row{"RSS after 1k COSMOS exchanges", "in-process", after1k, "MiB", 0, 0, true, "time scale 1000"},
            Row{"RSS after " + n + " COSMOS exchanges", "in-process", afterAll, "MiB", 0, 0, true, "time scale 1000"},
            Row{"RSS growth 1k -> " + n, "in-process", afterAll - after1k, "MiB", 1.0, 1.0, true,
                "limit: 1 MiB; time scale 1000"}};
}

std::vector<Row> SimRows(const Options& o) {
    std::vector<Row> rows;
    {
        SimWorld world({"--poll-position"});
        auto cosmos = Fresh<MitutoyoCosmosProtocol>();
        if (!world.Ok() || !cosmos->Connect()) {
            std::fprintf(stderr, "cmm_bench: cmmsim's COSMOS did not connect\n");
            return rows;
        }
        for (Row& r : TimedRows("COSMOS exchange", "cmmsim", CosmosExchanges(*cosmos, 300), kCosmosExchangeMs,
                                1.05, 1.25))
            rows.push_back(r);
        cosmos->StartThread();
        rows.push_back(Row{"COSMOS recording", "cmmsim", RecordingRate(*cosmos, o.seconds), "points/s",
                           kCosmosPerSecond, 0.95, false, ""});
        rows.push_back(CpuRow("idle connected", "cmmsim",
                              CpuPercent([&] { plat::Sleep(static_cast<uint32_t>(o.seconds * 1000)); })));
        cosmos->Disconnect();
        cosmos->EndThread();
    }
    {
        const std::string delay = std::to_string(static_cast<int>(o.seconds * 1000));
        SimWorld world({"--poll-position", "--answer-delay", delay});
        auto cosmos = Fresh<MitutoyoCosmosProtocol>();
        if (world.Ok() && cosmos->Connect()) {
            ParameterMap move;
            move["Cmd"] = 5.0;
            rows.push_back(CpuRow("unanswered command", "cmmsim",
                                  CpuPercent([&] { cosmos->RunCommandExchange(move); })));
            cosmos->CMMProtocolWithThread::Disconnect();
        }
    }
    {
        SimWorld world({"--poll-position"});
        auto geopak = Fresh<MitutoyoProtocol>();
        if (!world.Ok() || !geopak->Connect()) {
            std::fprintf(stderr, "cmm_bench: cmmsim's GEOPAK did not connect\n");
            return rows;
        }
        for (Row& r : GeopakRoundTripRows(*geopak, "cmmsim")) rows.push_back(r);
        geopak->StartThread();
        rows.push_back(Row{"GEOPAK recording", "cmmsim", RecordingRate(*geopak, o.seconds), "points/s",
                           kGeopakPerSecond, 0.95, false, ""});
        geopak->CMMProtocolWithThread::Disconnect();
        geopak->EndThread();
    }
    return rows;
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
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (arg == "--json") o.json = value;
        else if (arg == "--exchanges") o.exchanges = std::max(1000L, std::atol(value));
        else if (arg == "--seconds") o.seconds = std::max(1.0, std::atof(value));
        else return false;
    }
    return true;
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
    for (const Row& r : SimRows(options)) rows.push_back(r);
    std::fprintf(stderr, "cmm_bench: %ld exchanges for the memory figures ...\n", options.exchanges);
    for (const Row& r : MemoryRows(options)) rows.push_back(r);
    Print(rows);
    if (!options.json.empty() && !WriteJson(rows, options.json)) {
        std::fprintf(stderr, "cmm_bench: cannot write %s\n", options.json.c_str());
        return 1;
    }
    return 0;
}
