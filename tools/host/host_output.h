// What `cmmhost run` prints: one line per notification as it arrives (JSON
// lines, or CSV), the result of each script command and each message box.
// Lines come from the host's thread and from the protocol's worker thread, so
// every line is written whole under one lock and flushed at once.
#pragma once

#include "framework/protocol.h"

#include <cstdio>
#include <mutex>
#include <string>

std::string JsonEscape(const std::string& text);
// Locale-independent, shortest text that reads back as the same double.
std::string JsonNumber(double value);

class EventPrinter {
public:
    EventPrinter(std::FILE* out, bool csv);
    void Notification(const ClientMessage& message);
    void CommandResult(int line, const std::string& verb, int result);
    void MessageBox(const std::string& text, unsigned style, int answer);
    void Event(const std::string& name, const std::string& detail);

    // The text of one notification line, without its line end.
    static std::string NotificationJson(const ClientMessage& message);
    static std::string NotificationCsv(const ClientMessage& message);

private:
    void Line(const std::string& text);
    std::FILE* m_out;
    bool m_csv;
    std::mutex m_lock;
};
