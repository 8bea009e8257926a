// Handing COSMOS commands from the host's thread to the worker thread, the
// worker thread itself (commands, pause acknowledgements, position polls of
// an open transaction) and the report of a measured point to the host.
#include "cosmos/cosmos_protocol.h"
#include "cosmos/dlg_cosmos_command.h"
#include "dialogs/resource.h"
#include "framework/host_app.h"
#include "framework/toolbox.h"

#include <cmath>

namespace {

constexpr uint32_t kCommandWaitSliceMs = 150;
constexpr uint32_t kWorkerIdleSliceMs = 10;
constexpr uint32_t kDisconnectedSleepMs = 1000;

}  // namespace

int MitutoyoCosmosProtocol::RunCosmosCommand() {
    if (!IsConnected()) return cosmos_result::kNotConnected;
    if (GetWindowFromClass(m_geopakWindowClass, 0) == plat::kNoWindow &&
        AfxMessageBox(" Geopak Window Lost - Do you want to continue anyway ?", MB_YESNO | MB_SYSTEMMODAL) !=
            IDYES) {
        return cosmos_result::kWindowLost;
    }
    // From here until the command is done, notifications delivered by the
    // pump below may call back in; the host operations refuse meanwhile.
    m_commandInProgress = true;
    PauseWorker();
    ShowCommandDialog();
    {
        std::lock_guard<std::recursive_mutex> guard(m_parametersLock);
        CopyParameters(m_workerParameters, m_parameters);
    }
    // Reading the two values inserts them, so every command file carries them.
    const double command = m_workerParameters["Cmd"];
    const double skipInit = m_workerParameters["SkipInit"];
    if (m_commandDialog != nullptr) {
        m_commandDialog->SetWindowText(CRT_LOCALE_INDEPENDANT::sprintf(
            "%s %.0lf %.0lf\n", m_commandDialog->GetWindowText().c_str(), command, skipInit));
    }
    m_commandRequestEvent.Set();
    WaitForCommandDone();
    {
        std::lock_guard<std::recursive_mutex> guard(m_parametersLock);
        CopyParameters(m_parameters, m_workerParameters);
    }
    CloseCommandDialog();
    m_commandInProgress = false;
    return m_lastCommandResult;
}

void MitutoyoCosmosProtocol::ShowCommandDialog() {
    m_commandDialog = nullptr;
    auto* dialog = new CDlgCosmosCommand(this, nullptr);
    if (dialog->Handle() == 0) {
        // Without a window nothing would ever delete it; the command runs
        // without its dialog.
        dialog->m_protocol = nullptr;
        delete dialog;
        return;
    }
    m_commandDialog = dialog;
}

void MitutoyoCosmosProtocol::WaitForCommandDone() {
    int counter = 0;
    bool abandoned = false;
    for (;;) {
        const bool done = m_commandDoneEvent.Wait(kCommandWaitSliceMs);
        if (m_commandDialog != nullptr) {
            // May destroy the dialog: look again below.
            if (!PumpWaitingMessages() && !abandoned) {
                // The host is quitting: the command gives up its wait, so
                // the host's own loop gets to see the quit.
                AbandonWaits();
                abandoned = true;
            }
            if (m_commandDialog != nullptr && m_commandDialog->HasDlgItem(IDC_COMMAND_COUNTER)) {
                m_commandDialog->SetDlgItemText(IDC_COMMAND_COUNTER, CRT_LOCALE_INDEPENDANT::sprintf("%d", counter));
                ++counter;
            }
        }
        if (done) break;
    }
    if (abandoned) EndAbandonWaits();
}

void MitutoyoCosmosProtocol::CloseCommandDialog() {
    if (m_commandDialog == nullptr) return;
    m_commandDialog->m_protocol = nullptr;
    m_commandDialog->PostCloseMessage();
    m_commandDialog = nullptr;
}

void MitutoyoCosmosProtocol::CosmosWorkerThread(CMMProtocolWithThread* protocol) {
    auto* self = static_cast<MitutoyoCosmosProtocol*>(protocol);
    for (;;) {
        self->m_protocolLock.Enter();
        self->WorkerCycle();
        self->m_protocolLock.Leave();
        if (self->ThreadExitRequested()) ExitThread(0);
        self->AtCycleBoundary();
    }
}

void MitutoyoCosmosProtocol::WorkerCycle() {
    if (!IsConnected()) {
        plat::Sleep(kDisconnectedSleepMs);
        return;
    }
    plat::Event* const events[] = {&m_commandRequestEvent, &m_pauseRequestEvent, &m_pollEvent};
    switch (plat::WaitAny(events, 3, kWorkerIdleSliceMs)) {
        case 0:
            m_commandRequestEvent.Reset();
            m_lastCommandResult = RunCommandExchange(m_workerParameters);
            m_commandDoneEvent.Set();
            break;
        case 1:
            m_pauseAckEvent.Set();
            break;
        case 2:
        case plat::kWaitTimeout:
            if (IsTransactionStarted()) PollPosition();
            break;
        default:
            break;
    }
}

void MitutoyoCosmosProtocol::PollPosition() {
    ParameterMap poll;
    poll["Cmd"] = 5.0;
    if (RunCommandExchange(poll) != cosmos_result::kOk) return;
    // A transaction that ended while the answer was awaited gets no report.
    if (IsTransactionStarted()) ReportPoint(ReadActualPoint(poll));
}

MitutoyoCosmosProtocol::ActualPoint MitutoyoCosmosProtocol::ReadActualPoint(ParameterMap& map) {
    ActualPoint point;
    point.position = CMMPoint{map["ActualX"], map["ActualY"], map["ActualZ"]};
    point.direction = CMMPoint{std::cos(DegreesToRadians(map["ActualA"])), std::cos(DegreesToRadians(map["ActualB"])),
                               std::cos(DegreesToRadians(map["ActualC"]))};
    return point;
}

void MitutoyoCosmosProtocol::ReportPoint(const ActualPoint& point) {
    PointReport report(*this);
    m_position = point.position;
    m_secondPoint = CMMPoint{m_position.x - point.direction.x, m_position.y - point.direction.y,
                             m_position.z - point.direction.z};
    SendMessageToClient(2);
    m_reportedPoint = m_position;
    SendMessageToClient(1);
}
