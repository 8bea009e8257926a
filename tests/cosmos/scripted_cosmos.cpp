// The scripted COSMOS side: Remote Manager, the GEOPAK-WIN and PartManager
// windows and the host's macro, played by one polling thread; and the
// fixture's set-up and tear-down around it.
#include "cosmos_fixture.h"
#include "dialogs/templates.h"
#include "framework/plugin/module.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
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

CosmosCommand ReadCommandFile(std::string bytes) {
    CosmosCommand command{std::move(bytes), {}};
    std::istringstream in(command.bytes);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t equals = line.find('=');
        if (equals == std::string::npos || equals == 0) continue;
        const size_t start = line.find_first_not_of(' ', equals + 1);
        double value = std::numeric_limits<double>::quiet_NaN();
        if (start != std::string::npos) std::from_chars(line.data() + start, line.data() + line.size(), value);
        command.entries.emplace_back(line.substr(0, equals), value);
    }
    return command;
}

double CosmosCommand::operator[](const std::string& name) const {
    for (const auto& [key, value] : entries) {
        if (key == name) return value;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

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

void ScriptedCosmos::CloseGeopak() {
    Locked([&] {
        if (m_geopak != plat::kNoWindow) plat::DestroyTopLevelWindow(m_geopak);
        m_geopak = plat::kNoWindow;
    });
}

void ScriptedCosmos::WriteAnswer(const std::string& text) { WriteAtomically(kVelmor + "GEO_ZOR.DAT", text); }

void ScriptedCosmos::TakeKeys() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_partManager != plat::kNoWindow) {
        const std::vector<std::string> taken = plat::TakeKeyStrokes(m_partManager, 0);
        m_seen.partManagerKeys.insert(m_seen.partManagerKeys.end(), taken.begin(), taken.end());
    }
    if (m_geopak == plat::kNoWindow) return;
    const std::vector<std::string> taken = plat::TakeKeyStrokes(m_geopak, 0);
    std::vector<std::string>& all = m_seen.keys;
    all.insert(all.end(), taken.begin(), taken.end());
    m_seen.keyTicks.resize(all.size(), plat::TickCount());
    // GEOPAK-WIN closes once the last keys it got are its exit sequence.
    if (taken.empty() || all.size() < kExitKeys.size() ||
        !std::equal(kExitKeys.begin(), kExitKeys.end(), all.end() - kExitKeys.size())) {
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
    const std::string bytes = ReadWhole(path);
    // A file caught between its creation and its first line is not ready.
    if (!EndsWith(bytes, "\r\n") || !plat::RemoveFile(path)) return;
    // Keys typed before this file was written are taken before it is answered.
    TakeKeys();
    Responder responder;
    CosmosCommand command = ReadCommandFile(bytes);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_seen.commands.push_back(command);
        responder = m_responder;
    }
    if (std::optional<std::string> answer = responder(command)) WriteAnswer(*answer);
}

std::string PointAnswer(double x, double y, double z, double a, double b, double c, int error) {
    std::ostringstream text;
    text << "Error=" << error << "\nActualX=" << x << "\nActualY=" << y << "\nActualZ=" << z << "\nActualA=" << a
         << "\nActualB=" << b << "\nActualC=" << c << "\n";
    return text.str();
}

std::vector<std::string> Texts(const std::vector<testsupport::ShownMessage>& shown) {
    std::vector<std::string> texts;
    for (const auto& message : shown) texts.push_back(message.text);
    return texts;
}

void CosmosTest::SetUp() {
    // What loading the module does: its dialog templates become known.
    plat::RegisterTemplates(PluginResourceModule(), &PluginDialogTemplates());
    protocol = std::make_unique<MitutoyoCosmosProtocol>();
    // Remote Manager's answer waits for the scripted side to open GEOPAK-WIN
    // first: a real window, which takes tens of real ms under Wine.
    protocol->m_remoteStartTimeout = kWindowBudgetMs;
    protocol->SetClient([this](const ClientMessage& message) {
        std::lock_guard<std::mutex> guard(m_reportsLock);
        m_reports.push_back(message);
    });
}

void CosmosTest::TearDown() {
    // A worker may sit in an exchange the scripted side left unanswered:
    // no new polls, and answers until it has left.
    protocol->CMMProtocolWithThread::OnStopTransaction();
    cosmos.SetResponder([](const CosmosCommand&) { return std::optional<std::string>("Error=0\n"); });
    std::atomic<bool> ended{false};
    std::thread ender([&] {
        protocol->EndThread();
        ended = true;
    });
    const bool gone = testsupport::Eventually(
        [&] {
            if (!box.Exists("C:\\COSMOS\\VELMOR\\GEO_ZOR.DAT")) cosmos.WriteAnswer("Error=0\n");
            return ended.load();
        },
        20000);
    if (!gone) {
        std::fprintf(stderr, "the COSMOS worker did not end within 20 s\n");
        std::abort();
    }
    ender.join();
    plat::PumpMessages();  // closes dialogs whose close is still queued
}

void CosmosTest::ConnectAndStart() {
    cosmos.OpenPartManager();
    ASSERT_EQ(protocol->Connect(), 1);
    ASSERT_TRUE(protocol->StartThread());
    box.ui().ClearMessages();
}

std::vector<ClientMessage> CosmosTest::Reports() {
    std::lock_guard<std::mutex> guard(m_reportsLock);
    return m_reports;
}
