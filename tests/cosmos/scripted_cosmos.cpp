// The scripted COSMOS side: Remote Manager, the GEOPAK-WIN and PartManager
// windows and the host's macro, played by one polling thread.
#include "scripted_cosmos.h"

#include "cosmos/cosmos_exchange.h"
#include "framework/toolbox.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string ReadNative(const std::string& native) {
    std::ifstream in(native, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteAtomically(const std::string& dosPath, const std::string& text) {
    const std::string native = plat::NativePath(dosPath);
    {
        std::ofstream out(native + ".part", std::ios::binary | std::ios::trunc);
        for (char c : text) {
            if (c == '\n') out << '\r';
            out << c;
        }
    }
    fs::rename(native + ".part", native);
}

}  // namespace

ScriptedCosmos::ScriptedCosmos(testsupport::Sandbox& sandbox) : m_sandbox(sandbox) {
    for (const plat::KeyStroke& key : ParseKeyString("%I{DOWN}{DOWN}{ENTER}").keys) {
        m_exitKeys.push_back(plat::KeyStrokeText(key));
    }
    m_responder = [](const ParameterMap&) { return std::optional<std::string>("Error=0\n"); };
}

ScriptedCosmos::~ScriptedCosmos() {
    Stop();
    if (m_geopak != plat::kNoWindow) plat::DestroyTopLevelWindow(m_geopak);
    if (m_partManager != plat::kNoWindow) plat::DestroyTopLevelWindow(m_partManager);
}

void ScriptedCosmos::Install() {
    m_sandbox.MakeDir(std::string(kRoot) + "VELMOR");
    m_sandbox.WriteFile(std::string(kRoot) + "EXE\\PMGRWIN.EXE",
                        "#!/bin/sh\nprintf '%s' \"$1\" > launched.txt\n");
    fs::permissions(plat::NativePath(std::string(kRoot) + "EXE\\PMGRWIN.EXE"), fs::perms::owner_all,
                    fs::perm_options::add);
}

void ScriptedCosmos::Start() {
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
}

void ScriptedCosmos::Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

void ScriptedCosmos::SetResponder(Responder responder) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_responder = std::move(responder);
}

void ScriptedCosmos::SetAnswerRemoteAsk(bool answer) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_answerRemoteAsk = answer;
}

void ScriptedCosmos::OpenGeopak() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_geopak == plat::kNoWindow) m_geopak = plat::CreateTopLevelWindow(kGeopakClass, "GEOPAK-WIN");
}

void ScriptedCosmos::OpenPartManager() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_partManager == plat::kNoWindow) {
        m_partManager = plat::CreateTopLevelWindow(kPartManagerClass, "PartManager");
    }
}

void ScriptedCosmos::WriteAnswer(const std::string& text) { WriteAtomically(Velmor("GEO_ZOR.DAT"), text); }

plat::WindowHandle ScriptedCosmos::Geopak() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_geopak;
}

std::vector<ScriptedCosmos::Command> ScriptedCosmos::Commands() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_commands;
}

size_t ScriptedCosmos::CommandCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_commands.size();
}

std::vector<ScriptedCosmos::Key> ScriptedCosmos::Keys() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_keys;
}

std::vector<std::string> ScriptedCosmos::KeyTexts() const {
    std::vector<std::string> texts;
    for (const Key& key : Keys()) texts.push_back(key.text);
    return texts;
}

int ScriptedCosmos::RemoteAsksAnswered() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_remoteAsks;
}

std::string ScriptedCosmos::LastRemoteAsk() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lastAsk;
}

std::string ScriptedCosmos::PointAnswer(double x, double y, double z, double a, double b, double c, int error) {
    std::ostringstream text;
    text << "Error=" << error << "\nActualX=" << x << "\nActualY=" << y << "\nActualZ=" << z << "\nActualA=" << a
         << "\nActualB=" << b << "\nActualC=" << c << "\n";
    return text.str();
}

void ScriptedCosmos::Run() {
    while (!m_stop) {
        TakeKeys();
        AnswerRemoteAsk();
        TakeCommand();
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
}

void ScriptedCosmos::TakeKeys() {
    const plat::WindowHandle window = Geopak();
    if (window == plat::kNoWindow) return;
    const std::vector<std::string> taken = plat::TakeKeyStrokes(window, 0);
    if (taken.empty()) return;
    const uint32_t now = plat::TickCount();
    std::lock_guard<std::mutex> guard(m_lock);
    for (const std::string& text : taken) m_keys.push_back(Key{now, text});
    // GEOPAK-WIN closes once the last keys it got are its exit sequence.
    if (m_keys.size() < m_exitKeys.size()) return;
    for (size_t i = 0; i < m_exitKeys.size(); ++i) {
        if (m_keys[m_keys.size() - m_exitKeys.size() + i].text != m_exitKeys[i]) return;
    }
    plat::DestroyTopLevelWindow(m_geopak);
    m_geopak = plat::kNoWindow;
}

void ScriptedCosmos::AnswerRemoteAsk() {
    const std::string ask = Velmor("REMOTE.ASK");
    if (!plat::PathExists(ask)) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_askAnswered = false;
        return;
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_answerRemoteAsk || m_askAnswered) return;
    }
    std::string request;
    {
        plat::File file;  // deny-write: the writer has finished
        if (!file.Open(ask, plat::kFileRead | plat::kFileText | plat::kShareDenyWrite)) return;
        request = ReadNative(plat::NativePath(ask));
    }
    // The request ends with an empty line; anything shorter is still being written.
    if (request.size() < 4 || request.compare(request.size() - 4, 4, "\r\n\r\n") != 0) return;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_askAnswered = true;
        ++m_remoteAsks;
        m_lastAsk = request;
    }
    OpenGeopak();  // the part program starts the host's macro in GEOPAK-WIN
    WriteAtomically(Velmor("REMOTE.ANS"), "OK\n");
}

void ScriptedCosmos::TakeCommand() {
    const std::string path = Velmor("ZOR_GEO.DAT");
    if (!plat::PathExists(path)) return;
    Command command;
    {
        // Holding it deny-write keeps the writer out while it is read.
        plat::File file;
        if (!file.Open(path, plat::kFileRead | plat::kFileText | plat::kShareDenyWrite)) return;
        command.bytes = ReadNative(plat::NativePath(path));
    }
    // A file caught between its creation and its first line is not ready.
    if (command.bytes.size() < 2 || command.bytes.compare(command.bytes.size() - 2, 2, "\r\n") != 0) return;
    if (!plat::RemoveFile(path)) return;
    MergeAnswerText(command.values, command.bytes);
    Responder responder;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_commands.push_back(command);
        responder = m_responder;
    }
    if (std::optional<std::string> answer = responder(command.values)) WriteAnswer(*answer);
}
