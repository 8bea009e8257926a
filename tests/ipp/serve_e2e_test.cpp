// cmmhost serve against cmmsim as real processes, both protocols, on the
// bore50 part (a bore of diameter 50 at (50, 50), top face z = 50): a
// whole session typed into cmmhost ipp-client, a second client refused, and
// a client that vanishes mid-probe. The test's own client reads the lines;
// every wait is bounded.
#include "e2e/e2e_support.h"

#include <asio.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <regex>
#include <thread>

namespace {

using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

class Served {
public:
    Served(const std::string& protocol, bool geopak)
        : world({"--noise", "0", "--scene", "bore50"}, geopak ? e2e::kGeopakTimeScale : e2e::kCosmosTimeScale) {
        std::ofstream(world.sandbox().Root() + "/tools.txt") << "# name diameter\nProbe1 2\nStar 3\n";
        started = world.Installed() &&
                  server.Start(e2e::Bin("cmmhost"),
                               {"serve", protocol, "--store", world.sandbox().Root() + "/store.reg", "--plugin",
                                e2e::Bin("Mitutoyo.cmm"), "--port", "0", "--tools",
                                world.sandbox().Root() + "/tools.txt", "--answers", "no", "--timeout", "120"});
        const std::regex listening("listening on 127\\.0\\.0\\.1:([0-9]+)");
        testsupport::Eventually([&] {
            std::smatch m;
            const std::string out = server.Output();
            if (started && std::regex_search(out, m, listening)) port = m[1];
            return !started || !port.empty();
        }, 20000);
    }
    ~Served() {
        server.Interrupt();
        if (!server.Wait(20000)) server.Kill();
    }
    std::string Describe() const { return "--- server\n" + server.Output() + server.Errors(); }

    e2e::SimWorld world;
    plat::ChildProcess server;
    bool started = false;
    std::string port;
};

// The test's own I++ client: one line out, lines in until a given one.
class Client {
public:
    bool Connect(const std::string& port) {
        std::error_code ec;
        asio::connect(m_socket, asio::ip::tcp::resolver(m_io).resolve("127.0.0.1", port, ec), ec);
        return !ec;
    }
    void Send(const std::string& line) {
        std::error_code ec;
        asio::write(m_socket, asio::buffer(line + "\r\n"), ec);
    }
    // Every line up to and including last; stops early at end of stream or
    // after seconds.
    Lines Until(const std::string& last, double seconds = 30) {
        Lines lines;
        auto end = Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
        while (lines.empty() || lines.back() != last) {
            std::error_code result = asio::error::would_block;
            std::size_t n = 0;
            asio::async_read_until(m_socket, m_input, "\r\n", [&](std::error_code ec, std::size_t size) {
                result = ec;
                n = size;
            });
            m_io.restart();
            m_io.run_until(end);
            if (result == asio::error::would_block) {
                m_socket.close();  // cancels the read
                m_io.restart();
                m_io.run();
                break;
            }
            if (result) break;
            lines.emplace_back(asio::buffers_begin(m_input.data()), asio::buffers_begin(m_input.data()) + n - 2);
            m_input.consume(n);
        }
        return lines;
    }
    void Close() { m_socket.close(); }

private:
    asio::io_context m_io;
    asio::ip::tcp::socket m_socket{m_io};
    asio::streambuf m_input;
};

// The numbers of "X(75), Y(50), Z(30), ..." in order.
std::vector<double> Numbers(const std::string& data) {
    std::vector<double> out;
    const std::regex number("[-+]?[0-9]+(\\.[0-9]+)?");
    for (std::sregex_iterator it(data.begin(), data.end(), number), end; it != end; ++it) out.push_back(std::stod(it->str()));
    return out;
}

TEST(ServeE2E, SessionThroughIppClientMeasuresTheBoreWithEitherProtocol) {
    for (const bool geopak : {false, true}) {
        SCOPED_TRACE(geopak ? "GEOPAK" : "COSMOS");
        Served s(geopak ? e2e::kGeopak : e2e::kCosmos, geopak);
        ASSERT_FALSE(s.port.empty()) << s.world.InstallOutput() << s.Describe();
        // Four probes 1 mm short of the bore's wall at z = 30: each reports the wall.
        const std::string file = s.world.sandbox().Root() + "/session.txt";
        std::ofstream(file) << testsupport::Golden("ipp_bore_session.txt");
        plat::ChildProcess client;
        ASSERT_TRUE(client.Start(e2e::Bin("cmmhost"), {"ipp-client", "--port", s.port, "--timeout", "20", file}));
        if (!client.Wait(e2e::kRunLimitMs)) client.Kill();  // within the test's time limit, to show what came
        ASSERT_NE(client.ExitCode(), -1) << client.Output() << s.Describe();
        std::string out = client.Output();
        out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());  // Windows text mode
        EXPECT_EQ(client.ExitCode(), 0) << out << client.Errors() << s.Describe() << s.world.Status().dump();
        EXPECT_NE(out.find("00005 # Tool.PtMeasPar.Approach(3), Tool.GoToPar.Speed(250)\n"), std::string::npos) << out;
        // The daemon reports the end of the move before the move's "%".
        EXPECT_NE(out.find("E0100 # X(50), Y(50), Z(80)\n00006 %\n"), std::string::npos) << out;
        const std::vector<std::vector<double>> expected = {
            {75, 50, 30, -1, 0, 0, 1}, {50, 75, 30, 0, -1, 0, 1}, {25, 50, 30, 1, 0, 0, 1}, {50, 25, 30, 0, 1, 0, 1}};
        for (size_t i = 0; i < expected.size(); ++i) {
            char tag[24];  // E0100 and 00100 took no number
            std::snprintf(tag, sizeof tag, "%05zu # ", 9 + i);
            const size_t at = out.find(tag);
            ASSERT_NE(at, std::string::npos) << tag << "\n" << out;
            const size_t from = at + std::strlen(tag);
            std::vector<double> got = Numbers(out.substr(from, out.find('\n', at) - from));
            ASSERT_EQ(got.size(), expected[i].size()) << out;
            for (size_t k = 0; k < got.size(); ++k) EXPECT_NEAR(got[k], expected[i][k], 5e-5) << tag << k;
        }
        EXPECT_NE(out.find("00013 # X(50), Y(25), Z(30)\n"), std::string::npos) << out;
        EXPECT_NE(out.find("00014 %"), std::string::npos) << out;
    }
}

// One client at a time; a client gone mid-probe leaves the server ready.
TEST(ServeE2E, SecondClientRefusedAndVanishedClientForgotten) {
    Served s(e2e::kCosmos, false);
    ASSERT_FALSE(s.port.empty()) << s.world.InstallOutput() << s.Describe();
    Client first;
    ASSERT_TRUE(first.Connect(s.port));
    first.Send("00001 StartSession()");
    first.Send("00002 Home()");
    // (The order of acks and completions is the engine's transcripts'.)
    Lines started = first.Until("00002 %");
    std::sort(started.begin(), started.end());
    ASSERT_EQ(started, (Lines{"00001 %", "00001 &", "00002 %", "00002 &"})) << s.Describe();

    Client second;
    ASSERT_TRUE(second.Connect(s.port));
    EXPECT_EQ(second.Until("", 20),
              (Lines{"E0000 ! Error(3, 8001, Connect, \"Another client is connected\")"}));

    first.Send("00003 GoTo(X(50), Y(50), Z(30))");
    first.Send("00004 PtMeas(X(74), Y(50), Z(30), IJK(-1, 0, 0))");
    first.Close();

    Lines lines;
    // The server takes the next client once the first one's session ended.
    for (auto end = Clock::now() + std::chrono::seconds(30); lines.size() < 2 && Clock::now() < end;) {
        Client attempt;
        if (!attempt.Connect(s.port)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        attempt.Send("00001 StartSession()");
        lines = attempt.Until("00001 %", 20);
        if (lines.size() >= 2 && lines.back() == "00001 %") {
            attempt.Send("00002 Home()");
            attempt.Send("00003 PtMeas(X(74), Y(50), Z(30), IJK(-1, 0, 0))");
            Lines more = attempt.Until("00003 %");
            lines.insert(lines.end(), more.begin(), more.end());
        }
    }
    ASSERT_GE(lines.size(), 6u) << s.Describe();
    EXPECT_EQ(lines[lines.size() - 2], "00003 # X(75), Y(50), Z(30)") << s.Describe();
}

}  // namespace
