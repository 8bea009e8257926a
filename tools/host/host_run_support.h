// Small pieces `cmmhost run` and `cmmhost demo` share: a whole-run watchdog,
// loading the plug-in and creating a protocol by display name, and the
// registry key path of a protocol's settings in a .reg store.
#pragma once

#include "framework/protocol.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// After seconds of real time, runs onExpire and ends the process with exit
// code 5. Zero seconds: no watchdog. Destroying it disarms it.
class Watchdog {
public:
    Watchdog(double seconds, std::function<void()> onExpire);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_disarmed = false;
    std::thread m_thread;
};

constexpr int kWatchdogExitCode = 5;

// Loads the plug-in (empty path: Mitutoyo.cmm next to cmmhost) and creates
// the protocol; false with a message for the user.
bool LoadProtocol(const std::string& pluginPath, const std::string& displayName,
                  std::unique_ptr<CMMProtocolWithThread>& protocol, std::string& error);

std::string StoreKeyPath(const std::string& displayName);
