// The I++ client connection over Asio (see host_ipp_client.h).
#include "host_ipp_client.h"

#include "ipp_line.h"

#include <asio.hpp>

#include <chrono>
#include <cstdio>
#include <sstream>

using asio::ip::tcp;

struct IppClient::Impl {
    asio::io_context io;
    tcp::socket socket{io};
    asio::streambuf input;
    double timeout = 60;

    // 0 a line, 1 closed, 2 time is up.
    int ReadLine(std::string& line, std::chrono::steady_clock::time_point deadline) {
        std::error_code result = asio::error::would_block;
        std::size_t length = 0;
        asio::async_read_until(socket, input, "\r\n", [&](std::error_code ec, std::size_t n) {
            result = ec;
            length = n;
        });
        io.restart();
        io.run_until(deadline);
        if (result == asio::error::would_block) {
            std::error_code ignored;
            socket.close(ignored);  // cancels the read, which must end before its buffers go
            io.restart();
            io.run();
            return 2;
        }
        if (result) return 1;
        line.assign(asio::buffers_begin(input.data()), asio::buffers_begin(input.data()) + length - 2);
        input.consume(length);
        return 0;
    }
};

IppClient::IppClient(double timeoutSeconds) : m_impl(std::make_unique<Impl>()) { m_impl->timeout = timeoutSeconds; }

IppClient::~IppClient() = default;

bool IppClient::Connect(const std::string& host, const std::string& port, std::string& error) {
    std::error_code ec;
    tcp::resolver resolver(m_impl->io);
    auto endpoints = resolver.resolve(host, port, ec);
    if (!ec) asio::connect(m_impl->socket, endpoints, ec);
    if (ec) error = "cannot connect to " + host + ":" + port + ": " + ec.message();
    return !ec;
}

IppClient::Result IppClient::Exchange(const std::string& command,
                                      const std::function<void(const std::string&)>& onLine) {
    std::error_code ec;
    asio::write(m_impl->socket, asio::buffer(command + "\r\n"), ec);
    if (ec) return Result::kClosed;
    const std::string done = command.substr(0, 5) + " %";
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(m_impl->timeout));
    Result result = Result::kOk;
    for (;;) {
        std::string line;
        switch (m_impl->ReadLine(line, deadline)) {
        case 1: return Result::kClosed;
        case 2: return Result::kTimeout;
        default: break;
        }
        if (onLine) onLine(line);
        if (line.size() > 6 && line[6] == '!') result = Result::kErrorLine;
        if (line == done) return result;
    }
}

std::vector<std::string> TagCommandLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
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
