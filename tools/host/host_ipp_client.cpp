// cmmhost ipp-client: a small I++ DME 1.4 client for tests and users. Sends
// the command lines of a file (or standard input) one at a time, each after
// the "%" of the one before, prints every line the server sends, and fails
// when an error line came.
//
//   cmmhost ipp-client [--host H] [--port P] [--timeout SECONDS] FILE|-
//
// A line that starts with a tag ("00012 " or "E0012 ") is sent as it
// stands; any other gets the next free tag. Blank lines and lines starting
// with "#" are skipped. Exit codes: 0 every command completed without an
// error line, 1 an error line came or the server closed, 2 usage, 3 no
// connection, 5 a command got no "%" within the timeout.
#include "commands.h"

#include "ipp_line.h"

#include <asio.hpp>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

using asio::ip::tcp;

struct ClientArgs {
    std::string host = "127.0.0.1", port = "1294", file;
    double timeoutSeconds = 60;
};

bool ParseClientArgs(int argc, char** argv, ClientArgs& a) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const bool more = i + 1 < argc;
        if (arg == "--host" && more) a.host = argv[++i];
        else if (arg == "--port" && more) a.port = argv[++i];
        else if (arg == "--timeout" && more) a.timeoutSeconds = std::strtod(argv[++i], nullptr);
        else if (!a.file.empty() || (arg.size() > 1 && arg[0] == '-')) return false;
        else a.file = arg;
    }
    return !a.file.empty() && a.timeoutSeconds > 0;
}

std::vector<std::string> CommandLines(std::istream& in) {
    std::vector<std::string> lines;
    int next = 1;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        line.erase(0, start);
        const std::string tag = line.substr(0, 5);
        if (line.size() > 5 && line[5] == ' ' && (ipp::IsTag(tag) || ipp::IsETag(tag))) {
            lines.push_back(line);
            continue;
        }
        char generated[8];
        std::snprintf(generated, sizeof generated, "%05d", next++ % 100000);
        lines.push_back(std::string(generated) + " " + line);
    }
    return lines;
}

class Client {
public:
    explicit Client(double timeoutSeconds) : m_socket(m_io), m_timeout(timeoutSeconds) {}

    bool Connect(const std::string& host, const std::string& port, std::string& error) {
        std::error_code ec;
        tcp::resolver resolver(m_io);
        auto endpoints = resolver.resolve(host, port, ec);
        if (!ec) asio::connect(m_socket, endpoints, ec);
        if (ec) error = "cannot connect to " + host + ":" + port + ": " + ec.message();
        return !ec;
    }

    // Sends the line, then prints what comes until its "%". 0, 1 (error
    // line or closed) or 5 (timeout).
    int Exchange(const std::string& command) {
        std::printf("> %s\n", command.c_str());
        std::error_code ec;
        asio::write(m_socket, asio::buffer(command + "\r\n"), ec);
        if (ec) return Closed();
        const std::string tag = command.substr(0, 5);
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                  std::chrono::duration<double>(m_timeout));
        for (;;) {
            std::string line;
            int read = ReadLine(line, deadline);
            if (read != 0) return read;
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
            if (line.size() > 6 && line[6] == '!') status = 1;
            if (line == tag + " %") return status;
        }
    }

private:
    int Closed() {
        std::fputs("cmmhost ipp-client: the server closed the connection\n", stderr);
        return 1;
    }

    int ReadLine(std::string& line, std::chrono::steady_clock::time_point deadline) {
        std::error_code result = asio::error::would_block;
        std::size_t length = 0;
        asio::async_read_until(m_socket, m_input, "\r\n", [&](std::error_code ec, std::size_t n) {
            result = ec;
            length = n;
        });
        m_io.restart();
        m_io.run_until(deadline);
        if (result == asio::error::would_block) {
            std::fprintf(stderr, "cmmhost ipp-client: no answer within %g s\n", m_timeout);
            return 5;
        }
        if (result) return Closed();
        line.assign(asio::buffers_begin(m_input.data()), asio::buffers_begin(m_input.data()) + length - 2);
        m_input.consume(length);
        return 0;
    }

    asio::io_context m_io;
    tcp::socket m_socket;
    asio::streambuf m_input;
    double m_timeout;
};

}  // namespace

const char kIppClientUsage[] =
    "usage: cmmhost ipp-client [--host H] [--port P] [--timeout SECONDS] FILE|-\n"
    "  sends each command line after the \"%\" of the one before and prints every response;\n"
    "  lines without a tag get the next one; exit 1 when an error line came\n";

int CmdIppClient(int argc, char** argv) {
    ClientArgs args;
    if (!ParseClientArgs(argc, argv, args)) {
        std::fputs(kIppClientUsage, stderr);
        return 2;
    }
    std::vector<std::string> commands;
    if (args.file == "-") {
        commands = CommandLines(std::cin);
    } else {
        std::ifstream in(args.file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cmmhost ipp-client: cannot read %s\n", args.file.c_str());
            return 2;
        }
        commands = CommandLines(in);
    }
    Client client(args.timeoutSeconds);
    std::string error;
    if (!client.Connect(args.host, args.port, error)) {
        std::fprintf(stderr, "cmmhost ipp-client: %s\n", error.c_str());
        return 3;
    }
    int status = 0;
    for (const std::string& command : commands) {
        int result = client.Exchange(command);
        if (result > 1) return result;
        if (result == 1) status = 1;
    }
    return status;
}
