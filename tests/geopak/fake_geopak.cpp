// The scripted GEOPAK side. Files are taken by renaming them out of the way
// and reading them until complete, never locking them (a lock could refuse
// one of the plug-in's opens); answers appear at once by renaming a finished
// file into place.
#include "fake_geopak.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace geopaktest {
namespace fs = std::filesystem;

std::string AnswerText(double x, double y, double z, double a, double b, double c) {
    std::string text = "0\r\n";
    for (double value : {x, y, z, a, b, c}) text += std::to_string(value) + "\r\n";  // "%f"
    return text;
}

void HandleEveryMessage(testsupport::ScriptedUI& ui, std::function<int(const testsupport::ShownMessage&)> handler) {
    ui.OnMessage([&ui, handler](const testsupport::ShownMessage& message) {
        HandleEveryMessage(ui, handler);
        return handler(message);
    });
}

std::optional<GeopakCommand> ParseCommandText(const std::string& text) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    GeopakCommand command(0);
    if (!(in >> command.code)) return std::nullopt;
    for (double* field : {&command.d1, &command.d2, &command.d3, &command.d4, &command.d5, &command.d6})
        if (!(in >> *field)) return std::nullopt;
    return command;
}

static std::string NativeData(const std::string& name) { return plat::NativePath("C:\\DATA\\" + name); }

FakeGeopak::FakeGeopak(testsupport::Sandbox&)
    : m_window(plat::CreateTopLevelWindow("GeopakFrame", "GEOPAK - GEOPAK")) {
    plat::MakeDirectory("C:\\DATA");
    m_thread = std::thread([this] {
        while (!m_stop) {
            Step();
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
}

FakeGeopak::~FakeGeopak() {
    m_stop = true;
    m_thread.join();  // each step is short; the shared watchdog covers the rest
    plat::DestroyTopLevelWindow(m_window);
}

void FakeGeopak::Step() {
    if (Take("GEO_COMM.ASK")) testsupport::PutInPlace(NativeData("GEO_COMM.ANS"), "OK");
    const std::optional<std::string> text = Take("GEO_IN.DAT");
    const std::optional<GeopakCommand> command = text ? ParseCommandText(*text) : std::nullopt;
    if (!command) return;
    const int code = command->code;
    const std::string answer = Locked(m_lock, [&] {
        m_commands.push_back(*command);
        m_codes.push_back(code);
        if (code != geopak_code::kPoll && code != geopak_code::kPollWithApproach && code != geopak_code::kMeasure)
            return std::string();
        if (m_answers.empty()) return m_then;
        const std::string next = m_answers.front();
        m_answers.pop_front();
        return next;
    });
    if (!answer.empty()) testsupport::PutInPlace(NativeData("GEO_OUT.DAT"), answer);
}

std::optional<std::string> FakeGeopak::Take(const std::string& name) {
    // Renamed the moment it appears, the file may still be written: the
    // writer keeps its handle. It is read, without any lock that could refuse
    // the writer, until it is complete.
    const std::string taken = name + ".TAKEN";
    std::error_code error;
    fs::rename(NativeData(name), NativeData(taken), error);
    if (error) return std::nullopt;
    std::string text;
    for (int tries = 0; tries < 20000; ++tries) {
        std::ifstream in(NativeData(taken), std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        // A command is complete with its seventh number and the CR LF after it.
        const bool crlf = text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
        if (name == "GEO_IN.DAT" ? crlf && ParseCommandText(text) : !text.empty()) break;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    fs::remove(NativeData(taken), error);
    return text;
}

}  // namespace geopaktest
