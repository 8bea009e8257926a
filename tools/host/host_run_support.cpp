// Watchdog, plug-in loading and store key path for cmmhost run and demo.
#include "host_run_support.h"

#include "plugin_loader.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

Watchdog::Watchdog(double seconds, std::function<void()> onExpire) {
    if (seconds <= 0) return;
    m_thread = std::thread([this, seconds, onExpire = std::move(onExpire)] {
        std::unique_lock<std::mutex> guard(m_lock);
        auto limit = std::chrono::duration<double>(seconds);
        if (m_wake.wait_for(guard, limit, [this] { return m_disarmed; })) return;
        std::fprintf(stderr, "cmmhost: watchdog: no end after %.0f s, giving up\n", seconds);
        if (onExpire) onExpire();
        std::fflush(nullptr);
        std::_Exit(kWatchdogExitCode);
    });
}

Watchdog::~Watchdog() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_disarmed = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

bool LoadProtocol(const std::string& pluginPath, const std::string& displayName,
                  std::unique_ptr<CMMProtocolWithThread>& protocol, std::string& error) {
    if (!LoadPlugin(pluginPath, error)) return false;
    protocol.reset(CreateProtocol(displayName));
    if (protocol) return true;
    error = "no protocol named \"" + displayName + "\"; the plug-in offers:";
    for (const RegisteredProtocol& p : RegisteredProtocols()) error += "\n  " + p.displayName;
    return false;
}

std::string StoreKeyPath(const std::string& displayName) { return DefaultKeyPath(displayName); }
