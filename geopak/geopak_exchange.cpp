// Connection to GEOPAK and the command round trip. GEOPAK is launched through
// its program information file, its macro is started by two "GEO_COMM.ASK" /
// "GEO_COMM.ANS" handshakes, and every command goes out as "GEO_IN.DAT" with
// its answer polled for as "GEO_OUT.DAT" in the exchange folder.
#include "geopak/geopak_protocol.h"

#include "common/window_front.h"
#include "framework/toolbox.h"

#include <exception>

namespace {

constexpr DWORD kFirstAcknowledgementMs = 60000;
constexpr DWORD kSecondAcknowledgementMs = 10000;
constexpr uint32_t kAnswerLookMs = 50;
constexpr unsigned kStopBox = MB_OK | MB_ICONSTOP | MB_SYSTEMMODAL;

// A write or close of the command file failed; handled inside the writer.
struct CommandFileError {};

}  // namespace

std::string MitutoyoProtocol::ExchangeFile(const char* name) const { return m_exchangeDirectory + name; }

BOOL MitutoyoProtocol::Connect() {
    plat::RemoveFile(ExchangeFile("GEO_COMM.ANS"));
    plat::RemoveFile(ExchangeFile("GEO_IN.DAT"));

    if (m_geopakLocal) {
        const std::string pif = m_applicationDirectory + "GEOZOR.PIF";
        if (!plat::ShellExecute(pif, "", m_applicationDirectory, plat::kSwShow)) {
            AfxMessageBox("Cannot Launch GEOPAK  (" + m_applicationDirectory + "\\" + pif +
                              " invalid pif File)",
                          MB_OK | MB_SYSTEMMODAL);
            return FALSE;
        }
    } else {
        AfxMessageBox("Please Launch GEOPAK manually on the other PC", MB_OK);
    }

    if (!m_automaticStartup) {
        AfxMessageBox("Start the MELDAX Macro in GEOPAK and press OK", MB_OK | MB_SYSTEMMODAL);
        return CMMProtocolWithThread::Connect();
    }

    if (!WriteStartupCommand(m_startupCommand1)) return FALSE;
    if (!AwaitAcknowledgement(kFirstAcknowledgementMs,
                              "(1)The GEOPAK Software did not response\n Do you want to continue ?",
                              MB_YESNO | MB_ICONEXCLAMATION | MB_SYSTEMMODAL))
        return FALSE;
    if (!WriteStartupCommand(m_startupCommand2)) return FALSE;
    if (!AwaitAcknowledgement(kSecondAcknowledgementMs,
                              "(2)The GEOPAK Software did not respond\n Do you want to continue ? ",
                              MB_YESNOCANCEL | MB_ICONEXCLAMATION | MB_SYSTEMMODAL))
        return FALSE;
    return CMMProtocolWithThread::Connect();
}

BOOL MitutoyoProtocol::WriteStartupCommand(const std::string& command) {
    // The macro reads the text as it stands: no terminator, no line end.
    const std::string path = ExchangeFile("GEO_COMM.ASK");
    plat::File file;
    bool ok = file.Open(path, plat::kFileWrite | plat::kFileCreate | plat::kShareExclusive);
    ok = ok && file.Write(command);
    ok = file.Close() && ok;
    if (!ok) {
        AfxMessageBox("Cannot open Command file : " + path, MB_OK | MB_SYSTEMMODAL);
        return FALSE;
    }
    return TRUE;
}

BOOL MitutoyoProtocol::AwaitAcknowledgement(DWORD ms, const char* question, unsigned style) {
    // Yes waits again for the same acknowledgement; the command is not rewritten.
    const std::string answer = ExchangeFile("GEO_COMM.ANS");
    while (!WaitForFile(answer, ms)) {
        if (AfxMessageBox(question, style) != IDYES) return FALSE;
    }
    plat::RemoveFile(answer);
    return TRUE;
}

BOOL MitutoyoProtocol::Disconnect() {
    const BOOL result = CMMProtocolWithThread::Disconnect();
    WriteCommandFile(GeopakCommand(geopak_code::kQuit));
    return result;
}

BOOL MitutoyoProtocol::SendGEOPAKCommand(GeopakCommand& command) {
    if (m_debugLog) Trace("Entering Send GEOPAKCommand");
    DeleteAnswerFile();  // an earlier answer must never pass for this one
    WriteCommandWithRetry(command);
    for (;;) {
        plat::Sleep(kAnswerLookMs);
        BOOL accepted = FALSE;
        if (LookForAnswer(command, accepted)) return accepted;
        if (m_stopWaiting.load() != 0) return FALSE;
        if (!IsTransactionStarted()) return FALSE;
        // Asked to exit or pause: given up the way an ended transaction is.
        if (GiveUpRequested()) return FALSE;
    }
}

bool MitutoyoProtocol::LookForAnswer(GeopakCommand& command, BOOL& accepted) {
    plat::File file;
    if (!file.Open(ExchangeFile("GEO_OUT.DAT"), plat::kFileRead | plat::kFileText | plat::kShareDenyWrite))
        return false;
    const std::optional<GeopakAnswer> answer = ReadGeopakAnswer(file);
    file.Close();
    DeleteAnswerFile();
    // A short or garbled answer is consumed but leaves the record as sent.
    if (answer) ApplyAnswer(command, *answer);
    accepted = answer ? TRUE : FALSE;
    return true;
}

BOOL MitutoyoProtocol::WriteCommandWithRetry(const GeopakCommand& command) {
    for (;;) {
        try {
            WriteCommandFile(command);
            return TRUE;
        } catch (const std::exception&) {
            if (AfxMessageBox(" MITUTOYO DRIVER : Unable to write the GEOPAK Command File\n"
                              " Do you want to continue ?",
                              MB_YESNO | MB_ICONSTOP | MB_SYSTEMMODAL) != IDYES)
                return FALSE;
        }
    }
}

void MitutoyoProtocol::WriteCommandFile(const GeopakCommand& command) {
    plat::File file;
    if (!file.Open(ExchangeFile("GEO_IN.DAT"), plat::kFileWrite | plat::kFileCreate | plat::kFileText)) {
        AfxMessageBox("Cannot Open " + m_exchangeDirectory + "GEO_IN.DAT", kStopBox);
        return;
    }
    try {
        // Each group is formatted just before it goes out; a failure leaves
        // what was written in the file.
        if (!file.Write(FormatCodeLine(command))) throw CommandFileError{};
        if (!file.Write(FormatTriple(command.d1, command.d2, command.d3))) throw CommandFileError{};
        if (!file.Write(FormatTriple(command.d4, command.d5, command.d6))) throw CommandFileError{};
        if (!file.Close()) throw CommandFileError{};
    } catch (const CommandFileError&) {
        AfxMessageBox("Exception in Write", kStopBox);
    }
}

void MitutoyoProtocol::DeleteAnswerFile() { plat::RemoveFile(ExchangeFile("GEO_OUT.DAT")); }

void MitutoyoProtocol::BringGeopakWindowToFront() {
    const HWND window = plat::FindWindowByTitle(m_windowName);
    if (window != plat::kNoWindow) BringWindowToFront(window);
}
