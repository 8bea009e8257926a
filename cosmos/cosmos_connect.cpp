// Connecting the COSMOS protocol: closing a running GEOPAK-WIN, checking the
// installation, starting PartManager, asking Remote Manager to start the
// host's macro, and the first exchange. Also Disconnect, the transaction
// hooks and the diagnostic log. All of it runs on the host's thread.
#include "cosmos/cosmos_protocol.h"
#include "framework/toolbox.h"

#include <cctype>

namespace {

constexpr unsigned kErrorBox = MB_ICONHAND | MB_OK | MB_SYSTEMMODAL;
constexpr unsigned kQuestionBox = MB_YESNO | MB_SYSTEMMODAL;
constexpr unsigned kErrorQuestionBox = MB_ICONHAND | MB_YESNO | MB_SYSTEMMODAL;
constexpr uint32_t kLookupCadenceMs = 100;
// GEOPAK-WIN normally closes within a second or two of its exit keys.
constexpr uint32_t kGeopakCloseAskMs = 10000;
constexpr const char* kPartManagerProgram = "PMGRWIN.EXE";
constexpr uint32_t kPauseAckSliceMs = 50;

std::string Format(const char* format, const std::string& a) {
    return CRT_LOCALE_INDEPENDANT::sprintf(format, a.c_str());
}

std::string Format(const char* format, const std::string& a, const std::string& b) {
    return CRT_LOCALE_INDEPENDANT::sprintf(format, a.c_str(), b.c_str());
}

}  // namespace

void MitutoyoCosmosProtocol::LogDebugLine(const std::string& message) {
    if (m_debugLog == 0) return;
    plat::File log;
    if (!log.Open("C:\\cosmosvelmor.log",
                  plat::kFileWrite | plat::kFileAppend | plat::kFileText | plat::kShareDenyNone)) {
        return;
    }
    log.Write(plat::LocalDateTime("%x %X", 128) + " : " + message + "\n");
    log.Close();
}

BOOL MitutoyoCosmosProtocol::LaunchPartManager() {
    if (GetWindowFromClass(m_partManagerWindowClass, 0) != plat::kNoWindow) return 1;
    if (m_geopakLocal == 0) {
        AfxMessageBox("Please Launch GEOPAK manually on the other PC", MB_OK);
        return 1;
    }
    const std::string exeFolder = m_cosmosPath + "EXE\\";
    if (!m_cosmosPath.empty()) {
        const int letter = std::toupper(static_cast<unsigned char>(m_cosmosPath[0]));
        plat::ChangeDrive(letter - 'A' + 1);
    }
    plat::ChangeDir(exeFolder);
    const bool launched =
        plat::ShellExecute(kPartManagerProgram, VelmorPath("PARTVOL.MDF"), exeFolder, plat::kSwMinimize,
                           plat::kLaunchKeepProcess);
    return launched ? 1 : 0;
}

BOOL MitutoyoCosmosProtocol::RemoteStartPartProgram() {
    const std::string askPath = VelmorPath("REMOTE.ASK");
    const std::string answerPath = VelmorPath("REMOTE.ANS");
    {
        plat::File ask;
        if (!ask.Open(askPath, plat::kFileCreate | plat::kFileWrite | plat::kFileText)) {
            AfxMessageBox("Cannot Open " + askPath, kErrorBox);
            return 0;
        }
        ask.Write("EXECUTE_PART_PROGRAM\nZOR\n1\n1\n1\n1\n1\n\n");
        ask.Close();
    }
    for (;;) {
        if (WaitForFile(answerPath, static_cast<DWORD>(m_remoteStartTimeout))) {
            DeleteFileIfPresent(answerPath);
            DeleteFileIfPresent(askPath);
            return 1;
        }
        LogDebugLine(" the file : " + answerPath + " has not been found while executing remote start ");
        const int answer = AfxMessageBox(
            " REMOTE MANAGER  did not anwser to the request to start the ZOR macro\nDo you want to wait longer ? ",
            kErrorQuestionBox);
        if (answer != IDYES) return 0;
    }
}

bool MitutoyoCosmosProtocol::WaitForGeopakToClose() {
    uint32_t roundStart = plat::TickCount();
    while (GetWindowFromClass(m_geopakWindowClass, 0) != plat::kNoWindow) {
        plat::Sleep(kLookupCadenceMs);
        if (plat::TickCount() - roundStart < kGeopakCloseAskMs) continue;
        const int answer = AfxMessageBox(
            Format("GEOPAK-WIN (window class %s) has not closed within 10 seconds\nDo you want to wait longer ?",
                   m_geopakWindowClass),
            kQuestionBox);
        if (answer != IDYES) {
            AfxMessageBox("the connection has been canceled", MB_OK);
            return false;
        }
        roundStart = plat::TickCount();
    }
    return true;
}

bool MitutoyoCosmosProtocol::CheckInstallation() {
    std::string folder = m_cosmosPath;
    if (m_cosmosPath.back() == '\\') {
        folder.pop_back();
    } else {
        m_cosmosPath += '\\';
    }
    if (!plat::PathExists(folder)) {
        AfxMessageBox(Format(" Cannot locate the COSMOS folder (%s)Please check that COSMOS is properly installed\n",
                             m_cosmosPath),
                      kErrorBox);
        return false;
    }
    if (!plat::PathExists(m_cosmosPath + "VELMOR")) {
        AfxMessageBox(
            Format("The VELMOR folder cannot be found under the (%s) FOLDER Please contact your VELMOR AGENT\n",
                   m_cosmosPath),
            kErrorBox);
        return false;
    }
    const std::string program = m_cosmosPath + "EXE\\" + kPartManagerProgram;
    if (!plat::PathExists(program)) {
        AfxMessageBox(Format("PartManager  cannot be located on (%s)\nthe expected file is %s\n Please check that "
                             "COSMOS is properly installed\n",
                             m_cosmosPath, program),
                      kErrorBox);
        return false;
    }
    return true;
}

BOOL MitutoyoCosmosProtocol::Connect() {
    try {
        return ConnectSteps();
    } catch (...) {
        LogDebugLine("There was an untrapped execption in MitutoyoCosmosProtocol::Connect");
        return 0;
    }
}

BOOL MitutoyoCosmosProtocol::ConnectSteps() {
    if (IsConnected()) return 0;
    if (GetWindowFromClass(m_geopakWindowClass, 0) != plat::kNoWindow && ActivateGeopakWindow() == 1) {
        SendKeyString(m_cancelMacroKeys);
        SendKeyString(m_exitGeopakKeys);
    }
    if (!WaitForGeopakToClose()) return 0;
    m_geopakWindow = plat::kNoWindow;
    for (const char* name : {"REMOTE.MSG", "GEO_ZOR.DAT", "ZOR_GEO.DAT", "REMOTE.ASK", "REMOTE.ANS"}) {
        DeleteFileIfPresent(VelmorPath(name));
    }
    if (m_cosmosPath.empty()) return 0;
    if (!CheckInstallation()) return 0;
    const std::string answerPath = VelmorPath("REMOTE.ANS");
    DeleteFileIfPresent(answerPath);
    if (!LaunchPartManager()) {
        AfxMessageBox(Format("Cannot launch PartManager  (%s) \n Please check that COSMOS is properly installed\n",
                             kPartManagerProgram),
                      kErrorBox);
        return 0;
    }
    if (!RemoteStartPartProgram()) {
        const int answer = AfxMessageBox(
            "Remote Manager did not anwser !\nPlease check that PartManager has been configured\nto automatically "
            "launch RemoteManager at startup\nYou can recover temporaly from this error by making sure thatthe "
            "Zorvane macro is running on GEOPAK-WIN and then click 'YES' on this dialogbox",
            kErrorQuestionBox);
        if (answer != IDYES) {
            AfxMessageBox("the connection has been canceled", MB_OK);
            return 0;
        }
        if (WaitForFile(answerPath, 10)) {
            LogDebugLine(" the file : " + answerPath + " has appeared now : may be we should adjust the time out ");
            DeleteFileIfPresent(answerPath);
        } else {
            LogDebugLine(" the file : " + answerPath + " is still not here and the user asked to continue");
        }
    }
    if (!CMMProtocolWithThread::Connect()) return 0;
    {
        std::lock_guard<std::recursive_mutex> guard(m_parametersLock);
        m_parameters.RemoveAll();
        m_parameters["SkipInit"] = 0.0;
        m_parameters["MachType"] = static_cast<double>(m_machineType);
        LogDebugLine(" Sending SkipInit =0 ");
        RunCommandExchange(m_parameters);
    }
    LogDebugLine(" --> Connection SuccessFULL ");
    return 1;
}

BOOL MitutoyoCosmosProtocol::Disconnect() {
    const BOOL wasConnected = IsConnected();
    CMMProtocolWithThread::Disconnect();
    if (wasConnected) CancelGeopakMacro();
    return 1;
}

void MitutoyoCosmosProtocol::OnStartTransaction() {
    CMMProtocolWithThread::OnStartTransaction();
    ActivateGeopakWindow();
}

void MitutoyoCosmosProtocol::OnStopTransaction() {
    if (!IsTransactionStarted()) return;
    CMMProtocolWithThread::OnStopTransaction();
    if (!IsConnected()) return;
    // Stopped from a notification while a command waits: the worker runs
    // that command, and no poll can report once it is handed over, so there
    // is nothing to wait for (and a pause would cancel the command).
    if (m_commandInProgress) return;
    PauseWorker();
}

void MitutoyoCosmosProtocol::PauseWorker() {
    m_pauseAckEvent.Reset();
    m_pauseRequestEvent.Set();
    // No time limit while the worker lives; a worker that has ended (or was
    // never started) will never answer.
    while (!m_pauseAckEvent.Wait(kPauseAckSliceMs)) {
        if (!WorkerRunning()) break;
    }
    m_pauseRequestEvent.Reset();
}
