// The scripted GEOPAK side. Files are taken by renaming them out of the way
// and reading them until complete, never locking them (a lock could refuse
// one of the plug-in's opens); answers appear at once by renaming a finished
// file into place.
#include "fake_geopak.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace geopaktest {
namespace fs = std::filesystem;

std::string AnswerText(double x, double y, double z, double a, double b, double c) {
    char text[512];
    std::snprintf(text, sizeof text, "0\r\n%f\r\n%f\r\n%f\r\n%f\r\n%f\r\n%f\r\n", x, y, z, a, b, c);
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
    double* fields[] = {&command.d1, &command.d2, &command.d3, &command.d4, &command.d5, &command.d6};
    if (!(in >> command.code)) return std::nullopt;
    for (double* field : fields)
        if (!(in >> *field)) return std::nullopt;
    return command;
}

namespace {

// Seven lines, each ended by CR LF.
bool IsCompleteCommand(const std::string& text) {
    size_t lines = 0;
    for (size_t pos = text.find("\r\n"); pos != std::string::npos; pos = text.find("\r\n", pos + 2)) ++lines;
    return lines >= 7 && text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

}  // namespace

FakeGeopak::FakeGeopak(testsupport::Sandbox& sandbox, std::string exchangeDir, std::string title)
    : m_sandbox(sandbox),
      m_exchangeDir(std::move(exchangeDir)),
      m_window(plat::CreateTopLevelWindow("GeopakFrame", title)) {
    plat::MakeDirectory(m_exchangeDir.substr(0, m_exchangeDir.size() - 1));
    m_thread = std::thread([this] { Run(); });
}

FakeGeopak::~FakeGeopak() {
    m_stop = true;
    m_thread.join();  // each step is short; the shared watchdog covers the rest
    plat::DestroyTopLevelWindow(m_window);
}

void FakeGeopak::QueueAnswer(const std::string& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_answers.push_back(text);
}

void FakeGeopak::SetDefaultAnswer(const std::string& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_defaultAnswer = text;
}

std::vector<std::string> FakeGeopak::StartupCommands() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_startup;
}

std::vector<GeopakCommand> FakeGeopak::Commands() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_commands;
}

std::vector<int> FakeGeopak::Codes() const {
    std::vector<int> codes;
    for (const GeopakCommand& command : Commands()) codes.push_back(command.code);
    return codes;
}

size_t FakeGeopak::CommandCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_commands.size();
}

std::string FakeGeopak::Native(const std::string& name) const {
    return plat::NativePath(m_exchangeDir + name);
}

void FakeGeopak::Run() {
    while (!m_stop) {
        Step();
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
}

void FakeGeopak::Step() {
    if (auto startup = Take("GEO_COMM.ASK")) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_startup.push_back(*startup);
        }
        if (m_acknowledge) m_sandbox.WriteFile(m_exchangeDir + "GEO_COMM.ANS", "OK");
    }
    if (auto text = Take("GEO_IN.DAT")) {
        std::optional<GeopakCommand> command = ParseCommandText(*text);
        if (!command) return;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_commands.push_back(*command);
        }
        const int code = command->code;
        if (code == geopak_code::kPoll || code == geopak_code::kPollWithApproach ||
            code == geopak_code::kMeasure)
            Answer();
    }
}

std::optional<std::string> FakeGeopak::Take(const std::string& name) {
    // Renamed the moment it appears, the file may still be written: the
    // writer keeps its handle. It is read, without any lock that could refuse
    // the writer, until it is complete.
    const std::string taken = name + ".TAKEN";
    std::error_code error;
    fs::rename(Native(name), Native(taken), error);
    if (error) return std::nullopt;
    const bool command = name == "GEO_IN.DAT";
    std::string text;
    for (int tries = 0; tries < 20000; ++tries) {
        std::ifstream in(Native(taken), std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (command ? IsCompleteCommand(text) : !text.empty()) break;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    fs::remove(Native(taken), error);
    return text;
}

void FakeGeopak::Answer() {
    std::string text;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_answers.empty()) {
            text = m_answers.front();
            m_answers.pop_front();
        } else {
            text = m_defaultAnswer;
        }
    }
    if (text.empty()) return;
    if (m_answerDelay > 0) plat::Sleep(m_answerDelay);
    const std::string temporary = Native("GEO_OUT.TMP");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
    }
    std::error_code error;
    fs::rename(temporary, Native("GEO_OUT.DAT"), error);
}

}  // namespace geopaktest
