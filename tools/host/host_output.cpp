// Line output of cmmhost run: JSON lines by default, CSV with --csv (then only
// notifications are printed, one "type,x,y,z,x2,y2,z2" row each).
#include "host_output.h"

#include "host_status.h"

#include <charconv>
#include <cmath>

std::string JsonEscape(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) return "null";  // JSON has no NaN or infinity
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, end) : "null";
}

namespace {
std::string Triple(const CMMPoint& p, const char* separator) {
    return JsonNumber(p.x) + separator + JsonNumber(p.y) + separator + JsonNumber(p.z);
}
}  // namespace

EventPrinter::EventPrinter(std::FILE* out, bool csv) : m_out(out), m_csv(csv) {
    if (m_csv) Line("type,x,y,z,x2,y2,z2");
}

std::string EventPrinter::NotificationJson(const ClientMessage& m) {
    if (m.type == 2) {
        return "{\"type\":2,\"position\":[" + Triple(m.position, ",") + "],\"second\":[" +
               Triple(m.secondPoint, ",") + "]}";
    }
    return "{\"type\":" + std::to_string(m.type) + ",\"point\":[" + Triple(m.reportedPoint, ",") + "]}";
}

std::string EventPrinter::NotificationCsv(const ClientMessage& m) {
    if (m.type == 2) return "2," + Triple(m.position, ",") + "," + Triple(m.secondPoint, ",");
    return std::to_string(m.type) + "," + Triple(m.reportedPoint, ",") + ",,,";
}

void EventPrinter::Notification(const ClientMessage& message) {
    Line(m_csv ? NotificationCsv(message) : NotificationJson(message));
}

void EventPrinter::CommandResult(int line, const std::string& verb, int result) {
    if (m_csv) return;
    Line("{\"line\":" + std::to_string(line) + ",\"command\":\"" + JsonEscape(verb) +
         "\",\"result\":" + std::to_string(result) + "}");
}

void EventPrinter::MessageBox(const std::string& text, unsigned style, int answer) {
    if (m_csv) return;
    Line("{\"message\":\"" + JsonEscape(text) + "\",\"style\":" + std::to_string(style) +
         ",\"answer\":" + std::to_string(answer) + "}");
}

void EventPrinter::Event(const std::string& name, const std::string& detail) {
    if (m_csv) return;
    Line("{\"event\":\"" + JsonEscape(name) + "\",\"detail\":\"" + JsonEscape(detail) + "\"}");
}

void EventPrinter::Line(const std::string& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    hoststatus::Print(m_out, text + "\n");
}
