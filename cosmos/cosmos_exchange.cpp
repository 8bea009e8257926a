// One complete COSMOS exchange (stale answer out, parameter file and backup
// in, answer awaited) and the restart path taken when the wait is
// interrupted: cancel the GEOPAK-WIN macro, restart it and re-send the
// caller-side parameters. Also the GEOPAK-WIN window helpers.
#include "common/window_front.h"
#include "cosmos/cosmos_protocol.h"
#include "framework/toolbox.h"

namespace {

constexpr uint32_t kRestartKeysGapMs = 250;
constexpr uint32_t kWindowLookupCadenceMs = 100;
constexpr uint32_t kWindowSearchRoundMs = 5000;

}  // namespace

int MitutoyoCosmosProtocol::RunCommandExchange(ParameterMap& map) {
    // A worker on its way out (or to a pause) starts nothing new.
    if (GiveUpRequested()) return cosmos_result::kGivenUp;
    DeleteFileIfPresent(VelmorPath("GEO_ZOR.DAT"));
    if (!WriteParameterFileWithBackup(map, VelmorPath("ZOR_GEO.DAT"))) return cosmos_result::kWriteFailed;
    plat::Event* const events[] = {&m_interruptEvent, &m_commandRequestEvent, &m_pauseRequestEvent, &m_giveUpEvent};
    const int result = AwaitCosmosAnswer(map, VelmorPath("GEO_ZOR.DAT"), VelmorPath("REMOTE.MSG"), events, 4, 0);
    if (result == cosmos_result::kInterrupted || result == cosmos_result::kPaused) RestartMacro(map);
    return result;
}

void MitutoyoCosmosProtocol::RestartMacro(ParameterMap& interrupted) {
    CancelGeopakMacro();
    // The macro is restarted even when its window was not found: the keys
    // then go to whatever has the focus, as an operator's would.
    SendKeyString(m_restartMacroKeys1);
    plat::Sleep(kRestartKeysGapMs);
    SendKeyString(m_restartMacroKeys2);
    {
        std::lock_guard<std::recursive_mutex> guard(m_parametersLock);
        m_parameters["SkipInit"] = 1.0;
        m_parameters["MachType"] = static_cast<double>(m_machineType);
        // A handed command's map is copied back over m_parameters when the
        // command ends; marked too, it cannot undo the restarted macro's
        // SkipInit = 1 for the commands that follow.
        if (&interrupted != &m_parameters) {
            interrupted["SkipInit"] = 1.0;
            interrupted["MachType"] = static_cast<double>(m_machineType);
        }
        RunCommandExchange(m_parameters);
    }
    m_pauseAckEvent.Set();
}

void MitutoyoCosmosProtocol::CancelGeopakMacro() {
    if (ActivateGeopakWindow()) {
        SendKeyString(m_cancelMacroKeys);
        return;
    }
    AfxMessageBox("CANNOT LOCATE THE GEOPAK WINDOW\n", MB_ICONHAND | MB_SYSTEMMODAL);
}

int MitutoyoCosmosProtocol::ActivateGeopakWindow() {
    HWND window = m_geopakWindow;
    if (window == plat::kNoWindow) window = GetWindowFromClass(m_geopakWindowClass, 0);
    while (window == plat::kNoWindow) {
        const uint32_t roundStart = plat::TickCount();
        while (window == plat::kNoWindow && plat::TickCount() - roundStart < kWindowSearchRoundMs) {
            plat::Sleep(kWindowLookupCadenceMs);
            window = GetWindowFromClass(m_geopakWindowClass, 0);
        }
        if (window != plat::kNoWindow) break;
        const std::string question = CRT_LOCALE_INDEPENDANT::sprintf(
            " The Windows with classname %s cannot be located on the system \n do you want to wait more longer ?",
            m_geopakWindowClass.c_str());
        if (AfxMessageBox(question, MB_YESNO | MB_SYSTEMMODAL) != IDYES) {
            m_geopakWindow = plat::kNoWindow;
            return 0;
        }
    }
    m_geopakWindow = window;
    BringWindowToFront(window);
    return 1;
}
