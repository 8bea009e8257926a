// What the host asks of a GEOPAK-driven machine: turn the head, move, probe
// a point, and open or close a recording (a transaction). Head, move and probe
// interrupt a running recording and start it again afterwards. Also the trace
// file that the "DEBUG" setting switches on.
#include "geopak/geopak_protocol.h"

#include "framework/toolbox.h"

#include <cmath>
#include <initializer_list>

namespace {

constexpr uint32_t kAfterFrameCommandMs = 100;
constexpr uint32_t kBeforeKeysMs = 50;
constexpr DWORD kPedalAnswerMs = 200;
constexpr double kProbeApproach = 3.0;

bool AllFinite(std::initializer_list<double> values) {
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

}  // namespace

void MitutoyoProtocol::Trace(const char* line) {
    // A line that cannot be written is lost without a word.
    plat::File file;
    if (!file.Open("C:\\dump.txt", plat::kFileWrite | plat::kFileAppend | plat::kFileText | plat::kShareDenyNone))
        return;
    file.Write(std::string(line) + "\n");
    file.Flush();
    file.Close();
}

bool MitutoyoProtocol::InterruptTransaction() {
    if (!IsTransactionStarted()) return false;
    OnStopTransaction();
    // The worker may be half-way through a round trip: it gives up within a
    // look of the transaction's end, and once it has acknowledged the pause
    // at its cycle boundary the exchange files are ours. The framework's
    // lock is not taken: only the transaction state keeps the threads apart.
    SuspendThread();
    ResumeThread();
    return true;
}

void MitutoyoProtocol::ResumeTransaction(bool interrupted) {
    if (interrupted) OnStartTransaction();
}

BOOL MitutoyoProtocol::SetProbeAngles(double headA, double headB, double probeDiameter) {
    if (!AllFinite({headA, headB, probeDiameter})) return FALSE;
    const bool interrupted = InterruptTransaction();
    WriteCommandWithRetry(GeopakCommand(geopak_code::kSetHead, probeDiameter, headA, headB));
    // No answer comes back: the user confirms the head has turned.
    AfxMessageBox(CRT_LOCALE_INDEPENDANT::sprintf(
                      "Press OK when Probe has finished its move ( %.3lf , %.3lf ) ", headA, headB),
                  MB_OK | MB_SYSTEMMODAL);
    ResumeTransaction(interrupted);
    return TRUE;
}

BOOL MitutoyoProtocol::MoveTo(double x, double y, double z) {
    if (!AllFinite({x, y, z})) return FALSE;
    const bool interrupted = InterruptTransaction();
    WriteCommandWithRetry(GeopakCommand(geopak_code::kInterrupt));
    plat::Sleep(kAfterFrameCommandMs);
    WriteCommandWithRetry(GeopakCommand(geopak_code::kMove, x, y, z));
    WriteCommandWithRetry(GeopakCommand(geopak_code::kResume));
    plat::Sleep(kAfterFrameCommandMs);
    ResumeTransaction(interrupted);
    return TRUE;
}

BOOL MitutoyoProtocol::MeasurePoint(double x, double y, double z, double i, double j, double k) {
    // A direction without length (or beyond doubles) has no unit vector: the
    // call is refused before anything is interrupted or sent.
    const double length = std::sqrt(i * i + j * j + k * k);
    if (!AllFinite({x, y, z, i, j, k, length}) || length == 0.0) return FALSE;
    const double ui = i / length, uj = j / length, uk = k / length;
    const double sx = x - kProbeApproach * ui, sy = y - kProbeApproach * uj, sz = z - kProbeApproach * uk;
    const double tx = x + kProbeApproach * ui, ty = y + kProbeApproach * uj, tz = z + kProbeApproach * uk;
    if (!AllFinite({sx, sy, sz, tx, ty, tz})) return FALSE;

    const bool interrupted = InterruptTransaction();
    WriteCommandWithRetry(GeopakCommand(geopak_code::kInterrupt));
    plat::Sleep(kAfterFrameCommandMs);
    // No transaction is open here, so the round trip takes one look only;
    // the host is given the nominal point whatever came back.
    GeopakCommand probe(geopak_code::kMeasure, sx, sy, sz, tx, ty, tz);
    SendGEOPAKCommand(probe);
    ReportNominal(x, y, z);
    WriteCommandWithRetry(GeopakCommand(geopak_code::kResume));
    plat::Sleep(kAfterFrameCommandMs);
    ResumeTransaction(interrupted);
    return TRUE;
}

void MitutoyoProtocol::OnStartTransaction() {
    if (m_debugLog) Trace("StartTRANSACTION ******");
    BringGeopakWindowToFront();
    CMMProtocolWithThread::OnStartTransaction();
}

void MitutoyoProtocol::OnStopTransaction() {
    if (m_debugLog) Trace("STOPTRANSACTION ******");
    if (IsTransactionStarted()) {
        if (m_useSendKey) {
            // F8, Escape, 2, Enter end the recording in GEOPAK; the window is
            // brought forward before each key in case the user clicked away.
            BringGeopakWindowToFront();
            plat::Sleep(kBeforeKeysMs);
            for (uint16_t key : {VK_F8, VK_ESCAPE, uint16_t{0x32}, VK_RETURN}) {
                BringGeopakWindowToFront();
                SendKey(key);
            }
            BringGeopakWindowToFront();
        } else {
            AfxMessageBox("Press the MITUTOYO Pedal to End the Recording\n", MB_OK);
            // The pedal makes GEOPAK write one last answer; nobody wants it.
            WaitForFile(ExchangeFile("GEO_OUT.DAT"), kPedalAnswerMs);
            DeleteAnswerFile();
        }
    }
    CMMProtocolWithThread::OnStopTransaction();
}

void MitutoyoProtocol::ReportNominal(double x, double y, double z) {
    PointReport report(*this);
    m_reportedPoint = CMMPoint{x, y, z};
    SendMessageToClient(1);
}

void MitutoyoProtocol::ReportAnswer(const GeopakCommand& answer) {
    PointReport report(*this);
    m_position = CMMPoint{answer.d1, answer.d2, answer.d3};
    m_secondPoint = CMMPoint{answer.d1 - answer.d4, answer.d2 - answer.d5, answer.d3 - answer.d6};
    SendMessageToClient(2);
    m_reportedPoint = CMMPoint{answer.d1, answer.d2, answer.d3};
    SendMessageToClient(1);
}
