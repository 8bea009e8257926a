// The scripted COSMOS side: Remote Manager, the GEOPAK-WIN and PartManager
// windows and the host's macro, played by one polling thread.
#include "cosmos/cosmos_exchange.h"
#include "cosmos_fixture.h"

#include <chrono>
#include <fstream>
#include <sstream>

namespace {

const std::string kVelmor = "C:\\COSMOS\\VELMOR\\";

// The whole file, read while a deny-write handle keeps its writer out; "" when that fails.
std::string ReadWhole(const std::string& dosPath) {
    plat::File file;
    if (!file.Open(dosPath, plat::kFileRead | plat::kFileText | plat::kShareDenyWrite)) return "";
    std::ifstream in(plat::NativePath(dosPath), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Text with CR LF line ends, as the host's macro writes it.
void WriteAtomically(const std::string& dosPath, const std::string& text) {
    std::string bytes;
    for (char c : text) bytes += c == '\n' ? std::string("\r\n") : std::string(1, c);
    testsupport::PutInPlace(plat::NativePath(dosPath), bytes);
}

}  // namespace

// The COSMOS folders and a PMGRWIN.EXE that records how it was started.
ScriptedCosmos::ScriptedCosmos(testsupport::Sandbox& sandbox) {
    sandbox.MakeDir(kVelmor);
    testsupport::InstallRecordingProgram("C:\\COSMOS\\EXE\\PMGRWIN.EXE");
    m_thread = std::thread([this] {
        while (!m_stop) {
            TakeKeys();
            AnswerRemoteAsk();
            TakeCommand();
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
}

ScriptedCosmos::~ScriptedCosmos() {
    m_stop = true;
    m_thread.join();
    for (plat::WindowHandle window : {m_geopak, m_partManager}) {
        if (window != plat::kNoWindow) plat::DestroyTopLevelWindow(window);
    }
}

void ScriptedCosmos::WriteAnswer(const std::string& text) { WriteAtomically(kVelmor + "GEO_ZOR.DAT", text); }

void ScriptedCosmos::TakeKeys() {
    static const std::vector<std::string> exitKeys = KeyLines("%I{DOWN}{DOWN}{ENTER}");
    const plat::WindowHandle window = Geopak();
    if (window == plat::kNoWindow) return;
    const std::vector<std::string> taken = plat::TakeKeyStrokes(window, 0);
    const uint32_t now = plat::TickCount();
    std::lock_guard<std::mutex> guard(m_lock);
    m_seen.keys.insert(m_seen.keys.end(), taken.begin(), taken.end());
    m_seen.keyTicks.resize(m_seen.keys.size(), now);
    // GEOPAK-WIN closes once the last keys it got are its exit sequence.
    const std::vector<std::string>& all = m_seen.keys;
    if (taken.empty() || all.size() < exitKeys.size() ||
        !std::equal(exitKeys.begin(), exitKeys.end(), all.end() - exitKeys.size())) {
        return;
    }
    plat::DestroyTopLevelWindow(m_geopak);
    m_geopak = plat::kNoWindow;
}

void ScriptedCosmos::AnswerRemoteAsk() {
    const std::string ask = kVelmor + "REMOTE.ASK";
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!plat::PathExists(ask)) m_askAnswered = false;
        if (!m_answerRemoteAsk || m_askAnswered || !plat::PathExists(ask)) return;
    }
    // The request ends with an empty line; anything shorter is still being written.
    const std::string request = ReadWhole(ask);
    if (!EndsWith(request, "\r\n\r\n")) return;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_askAnswered = true;
        ++m_seen.remoteAsks;
        m_seen.lastAsk = request;
    }
    OpenGeopak();  // the part program starts the host's macro in GEOPAK-WIN
    WriteAtomically(kVelmor + "REMOTE.ANS", "OK\n");
}

void ScriptedCosmos::TakeCommand() {
    const std::string path = kVelmor + "ZOR_GEO.DAT";
    if (!plat::PathExists(path)) return;
    Command command{ReadWhole(path), {}};
    // A file caught between its creation and its first line is not ready.
    if (!EndsWith(command.bytes, "\r\n") || !plat::RemoveFile(path)) return;
    MergeAnswerText(command.values, command.bytes);
    Responder responder;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_seen.commands.push_back(command);
        responder = m_responder;
    }
    if (std::optional<std::string> answer = responder(command.values)) WriteAnswer(*answer);
}
