// The TCP side of `cmmhost serve`: listens (127.0.0.1 unless told
// otherwise), serves one I++ client at a time and refuses a second one with
// an error line, frames CR LF lines both ways and hands them to the engine.
// Runs Asio on a thread of its own; the engine's normal queue runs on the
// host's thread.
#pragma once

#include "ipp_engine.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

class IppListener {
public:
    using Log = std::function<void(const std::string&)>;
    IppListener(ipp::Engine& engine, Log log);
    ~IppListener();  // Stop()
    IppListener(const IppListener&) = delete;
    IppListener& operator=(const IppListener&) = delete;

    // Binds and listens; port 0 takes a free one (see Port()).
    bool Open(const std::string& address, unsigned short port, std::string& error);
    unsigned short Port() const;
    void Start();
    // Drops the client (the engine ends its session) and stops listening.
    void Stop();
    int ClientsServed() const { return m_served.load(); }

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::atomic<int> m_served{0};
    std::thread m_thread;
};
