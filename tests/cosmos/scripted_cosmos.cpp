// The scripted COSMOS side: Remote Manager, the GEOPAK-WIN and PartManager
// windows and the host's macro, played by one polling thread; and the
// fixture's set-up and tear-down around it.
#include "cosmos_fixture.h"
#include "dialogs/resource_scope.h"
#include "dialogs/templates.h"

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <iterator>
#include <sstream>

namespace {

const std::string kVelmor = "C:\\COSMOS\\VELMOR\\";

// The whole file once its writer has let go of it; "" until then.
std::string ReadWhole(const std::string& dosPath) {
    plat::File file;
    if (!file.Open(dosPath, plat::kFileRead | plat::kFileText | plat::kShareDenyWrite)) return "";
    std::ifstream in(plat::NativePath(dosPath), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A file caught between its creation and its last line is not ready.
    return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0 ? text : "";
}

// Text with CR LF line ends, put in place whole, as the COSMOS side writes it.
void WriteAtomically(const std::string& dosPath, const std::string& text) {
    std::string bytes;
    for (char c : text) bytes += c == '\n' ? std::string("\r\n") : std::string(1, c);
    testsupport::PutInPlace(plat::NativePath(dosPath), bytes);
}

// "name=value" lines; the value as written, with "." whatever the locale.
CosmosCommand ReadCommandFile(const std::string& bytes) {
    CosmosCommand command{bytes, {}};
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        const size_t equals = line.find('=');
        const size_t start = line.find_first_not_of(' ', equals + 1);
        if (equals == std::string::npos || equals == 0 || start == std::string::npos) continue;
        double value = std::numeric_limits<double>::quiet_NaN();
        std::from_chars(line.data() + start, line.data() + line.size(), value);
        command.values.emplace(line.substr(0, equals), value);
    }
    return command;
}

}  // namespace

// The COSMOS folders and a PMGRWIN.EXE that records how it was started.
ScriptedCosmos::ScriptedCosmos(testsupport::Sandbox& sandbox) {
    sandbox.MakeDir(kVelmor);
    testsupport::InstallRecordingProgram("C:\\COSMOS\\EXE\\PMGRWIN.EXE");
    SetResponder([](const CosmosCommand&) { return std::optional<std::string>("Error=0\n"); });
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
    for (plat::WindowHandle window : {m_geopak, m_partManager}) plat::DestroyTopLevelWindow(window);
}

void ScriptedCosmos::WriteAnswer(const std::string& text) { WriteAtomically(kVelmor + "GEO_ZOR.DAT", text); }

void ScriptedCosmos::TakeKeys() {
    std::lock_guard<std::mutex> guard(m_lock);
    const Strings typed = m_partManager != plat::kNoWindow ? plat::TakeKeyStrokes(m_partManager, 0) : Strings();
    m_seen.partManagerKeys.insert(m_seen.partManagerKeys.end(), typed.begin(), typed.end());
    if (m_geopak == plat::kNoWindow) return;
    const Strings taken = plat::TakeKeyStrokes(m_geopak, 0);
    Strings& keys = m_seen.keys;
    keys.insert(keys.end(), taken.begin(), taken.end());
    // GEOPAK-WIN closes once the last keys it got are its exit sequence.
    if (!taken.empty() && keys.size() >= kExitKeys.size() &&
        Strings(keys.end() - kExitKeys.size(), keys.end()) == kExitKeys) {
        plat::DestroyTopLevelWindow(m_geopak);
        m_geopak = plat::kNoWindow;
    }
}

void ScriptedCosmos::AnswerRemoteAsk() {
    const std::string ask = kVelmor + "REMOTE.ASK";
    const bool present = plat::PathExists(ask);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!present) m_askAnswered = false;
        if (!present || !m_answerRemoteAsk || m_askAnswered) return;
    }
    const std::string request = ReadWhole(ask);
    if (request.size() < 4 || request.compare(request.size() - 4, 4, "\r\n\r\n") != 0) return;  // ends with an empty line
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_askAnswered = true;
        m_seen.asks.push_back(request);
    }
    OpenGeopak();  // the part program starts the host's macro in GEOPAK-WIN
    WriteAtomically(kVelmor + "REMOTE.ANS", "OK\n");
}

void ScriptedCosmos::TakeCommand() {
    const std::string path = kVelmor + "ZOR_GEO.DAT";
    const std::string bytes = plat::PathExists(path) ? ReadWhole(path) : "";
    if (bytes.empty() || !plat::RemoveFile(path)) return;
    TakeKeys();  // keys typed before this file was written are taken before it is answered
    const CosmosCommand command = ReadCommandFile(bytes);
    const Responder responder = Locked(m_lock, [&] { return m_seen.commands.push_back(command), m_responder; });
    if (std::optional<std::string> answer = responder(command)) WriteAnswer(*answer);
}

void CosmosTest::SetUp() {
    // What loading the module does: its dialog templates become known.
    plat::RegisterTemplates(PluginResourceModule(), &PluginDialogTemplates());
    protocol = std::make_unique<MitutoyoCosmosProtocol>();
    // Remote Manager's answer waits for the scripted side to open GEOPAK-WIN first.
    Set("REMOTESTARTTIMEOUT", kWindowBudgetMs);
    protocol->SetClient([this](const ClientMessage& message) { m_reports.push_back(message); });
}

void CosmosTest::TearDown() {
    // A test's own client may capture locals of its body, which are gone by
    // now; reports still queued must not reach it while the worker ends.
    protocol->SetClient(nullptr);
    // A worker may sit in an exchange the scripted side left unanswered:
    // no new polls, and answers until it has left.
    protocol->CMMProtocolWithThread::OnStopTransaction();
    std::atomic<bool> ended{false};
    std::thread ender([&] { ended = protocol->EndThread(); });
    const bool gone = testsupport::Eventually([&] {
        if (!box.Exists(kVelmor + "GEO_ZOR.DAT")) cosmos.WriteAnswer("Error=0\n");
        return ended.load();
    }, 20000);
    if (!gone) std::abort();  // the test's name is the last one gtest printed
    ender.join();
    plat::PumpMessages();  // closes dialogs whose close is still queued
}

void CosmosTest::ConnectAndStart() {
    cosmos.OpenPartManager();
    ASSERT_EQ(protocol->Connect(), 1);
    ASSERT_TRUE(protocol->StartThread());
    box.ui().ClearMessages();
}
