// Asio listener and connection for cmmhost serve (see host_serve_net.h).
#include "host_serve_net.h"

#include <asio.hpp>

#include <chrono>
#include <deque>

namespace {

using asio::ip::tcp;

// A second client gets this (a server-defined number) and is closed.
const char kBusyLine[] = "E0000 ! Error(3, 8001, Connect, \"Another client is connected\")";
// The longest line taken, its CR LF included.
constexpr std::size_t kMaxLine = ipp::kMaxLineLength + 2;

class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(tcp::socket socket, std::function<void()> onClose)
        : m_socket(std::move(socket)), m_input(kMaxLine), m_onClose(std::move(onClose)) {}

    // Runs on the Asio thread: lines from the engine are queued there.
    void Write(std::string line) {
        if (!m_socket.is_open()) return;
        m_pending.push_back(std::move(line) + "\r\n");
        if (m_pending.size() == 1) WriteNext();
    }

    void Read(std::function<void(const std::string&)> onLine) {
        auto self = shared_from_this();
        asio::async_read_until(m_socket, m_input, '\n', [this, self, onLine](std::error_code ec, std::size_t n) {
            if (ec == asio::error::not_found) {
                // Longer than any legal line: answered, then the client is dropped.
                Write("E0000 ! Error(3, 0008, Unknown, \"Protocol error\")");
                Close();
                return;
            }
            if (ec) {
                Close();
                return;
            }
            std::string line(asio::buffers_begin(m_input.data()), asio::buffers_begin(m_input.data()) + n - 1);
            m_input.consume(n);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            onLine(line);
            Read(onLine);
        });
    }

    void Close() {
        if (m_closed) return;
        m_closed = true;
        if (m_pending.empty()) Shut();
        if (m_onClose) m_onClose();
    }

private:
    void WriteNext() {
        auto self = shared_from_this();
        asio::async_write(m_socket, asio::buffer(m_pending.front()), [this, self](std::error_code ec, std::size_t) {
            m_pending.pop_front();
            if (ec) {
                m_pending.clear();
                Close();
            } else if (!m_pending.empty()) {
                WriteNext();
            } else if (m_closed) {
                Shut();
            }
        });
    }
    void Shut() {
        std::error_code ignored;
        m_socket.shutdown(tcp::socket::shutdown_both, ignored);
        m_socket.close(ignored);
    }

    tcp::socket m_socket;
    asio::streambuf m_input;
    std::deque<std::string> m_pending;
    std::function<void()> m_onClose;
    bool m_closed = false;
};

}  // namespace

struct IppListener::Impl {
    Impl(ipp::Engine& e, Log l) : engine(e), log(std::move(l)), acceptor(io) {}
    ipp::Engine& engine;
    Log log;
    asio::io_context io;
    tcp::acceptor acceptor;
    std::shared_ptr<Connection> client;
    std::atomic<int>* served = nullptr;

    void Accept() {
        acceptor.async_accept([this](std::error_code ec, tcp::socket socket) {
            if (ec) return;  // closed: the server stops
            std::error_code ignored;
            const std::string peer = socket.remote_endpoint(ignored).address().to_string();
            if (client) {
                log("refused a second client from " + peer);
                auto refused = std::make_shared<Connection>(std::move(socket), nullptr);
                refused->Write(kBusyLine);
                refused->Close();
            } else {
                Serve(std::move(socket), peer);
            }
            Accept();
        });
    }

    void Serve(tcp::socket socket, const std::string& peer) {
        log("client connected from " + peer);
        client = std::make_shared<Connection>(std::move(socket), [this] { Leave(); });
        std::weak_ptr<Connection> weak = client;
        engine.Attach([this, weak](const std::string& line) {
            asio::post(io, [weak, line] {
                if (auto c = weak.lock()) c->Write(line);
            });
        });
        client->Read([this](const std::string& line) { engine.Receive(line); });
    }

    void Leave() {
        if (!client) return;
        engine.Detach();
        client.reset();
        ++*served;
        log("client left");
    }
};

IppListener::IppListener(ipp::Engine& engine, Log log) : m_impl(std::make_unique<Impl>(engine, std::move(log))) {
    m_impl->served = &m_served;
}

IppListener::~IppListener() { Stop(); }

bool IppListener::Open(const std::string& address, unsigned short port, std::string& error) {
    std::error_code ec;
    const asio::ip::address ip = asio::ip::make_address(address, ec);
    if (ec) {
        error = "\"" + address + "\" is not an IP address";
        return false;
    }
    tcp::endpoint endpoint(ip, port);
    tcp::acceptor& a = m_impl->acceptor;
    a.open(endpoint.protocol(), ec);
    if (!ec) a.bind(endpoint, ec);
    if (!ec) a.listen(asio::socket_base::max_listen_connections, ec);
    if (!ec) return true;
    error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + ec.message();
    return false;
}

unsigned short IppListener::Port() const {
    std::error_code ec;
    return m_impl->acceptor.local_endpoint(ec).port();
}

void IppListener::Start() {
    m_impl->Accept();
    m_thread = std::thread([this] { m_impl->io.run(); });
}

void IppListener::Stop() {
    if (!m_thread.joinable()) return;
    asio::post(m_impl->io, [this] {
        std::error_code ignored;
        m_impl->acceptor.close(ignored);
        if (m_impl->client) m_impl->client->Close();
    });
    // The last lines are written before the thread ends; a client that
    // reads nothing holds it two seconds at most.
    for (int i = 0; i < 200 && !m_impl->io.stopped(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    m_impl->io.stop();
    m_thread.join();
}
