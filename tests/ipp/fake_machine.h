// A machine for the engine tests: records every call, fails moves with a
// configured error, and can hold a probe until it is aborted.
#pragma once

#include "ipp_machine.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

class FakeMachine : public ipp::Machine {
public:
    int StartSession() override { return Record("StartSession"), 0; }
    void EndSession() override { Record("EndSession"); }
    int MoveTo(const ipp::Vec3& t) override {
        Record("MoveTo " + Text(t));
        if (!moveError) position = t;
        return moveError;
    }
    int Measure(const ipp::Vec3& nominal, const ipp::Vec3& d, ipp::Vec3& measured) override {
        Record("Measure " + Text(nominal) + " dir " + Text(d));
        if (holdProbe) {
            std::unique_lock<std::mutex> lock(m_lock);
            m_probing = true;
            m_changed.notify_all();
            // Bounded: a lost abort fails the test instead of hanging it.
            m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_aborted; });
            return m_aborted ? 1006 : 0;
        }
        measured = {nominal[0] - d[0] * 0.5, nominal[1] - d[1] * 0.5, nominal[2] - d[2] * 0.5};
        return 0;
    }
    int SetHead(double a, double b, double diameter) override {
        Record("SetHead " + Text({a, b, diameter}));
        return 0;
    }
    bool HasIndexableHead() override { return true; }
    bool CanMove() override { return true; }
    ipp::Vec3 Position() override { return position; }
    void Abort() override {
        if (abortReleases) Release();
    }
    // Lets a held probe return (as aborted).
    void Release() {
        std::lock_guard<std::mutex> lock(m_lock);
        m_aborted = true;
        m_changed.notify_all();
    }

    bool WaitUntilProbing() {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_probing; });
    }
    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_calls;
    }

    int moveError = 0;
    bool holdProbe = false;
    std::atomic<bool> abortReleases{true};
    ipp::Vec3 position{10, 20, 30};

private:
    static std::string Text(const ipp::Vec3& v) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "%g %g %g", v[0] + 0.0, v[1] + 0.0, v[2] + 0.0);  // no "-0"
        return buf;
    }
    void Record(const std::string& call) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_calls.push_back(call);
    }
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> m_calls;
    bool m_probing = false, m_aborted = false;
};
