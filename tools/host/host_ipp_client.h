// An I++ DME 1.4 client connection, shared by `cmmhost ipp-client` and the
// demo's I++ session: sends one command line and reads every line up to
// that command's "%", within a time limit.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class IppClient {
public:
    enum class Result { kOk, kErrorLine, kClosed, kTimeout };
    explicit IppClient(double timeoutSeconds);
    ~IppClient();
    IppClient(const IppClient&) = delete;
    IppClient& operator=(const IppClient&) = delete;

    bool Connect(const std::string& host, const std::string& port, std::string& error);
    // command: a whole line with its tag, without CR LF. onLine sees every
    // line that arrives meanwhile (event lines of daemons included).
    Result Exchange(const std::string& command, const std::function<void(const std::string&)>& onLine);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Command lines of a session text: tagged lines as they stand, others given
// the next free tag; blank lines and "#" comments left out.
std::vector<std::string> TagCommandLines(const std::string& text);
