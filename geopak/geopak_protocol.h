// MitutoyoProtocol: drives a CMM through GEOPAK 3 (5.3 and later) by
// exchanging fixed seven-line command and answer files with a GEOPAK macro.
#pragma once

#include "framework/protocol.h"
#include "framework/setting_fields.h"
#include "geopak/geopak_command.h"

#include <mutex>
#include <string>

class CConfigDlg;

class MitutoyoProtocol : public CMMProtocolWithThread {
    DECLARE_DYNCREATE_PROTOCOL(MitutoyoProtocol)
public:
    MitutoyoProtocol();
    ~MitutoyoProtocol() override;

    // Overridden virtual operations, in the host's order.
    void OnStartTransaction() override;
    void OnStopTransaction() override;
    BOOL ReadSettings(HKEY key) override;
    BOOL WriteSettings(HKEY key) override;
    BOOL Connect() override;
    BOOL Disconnect() override;
    std::string GetControllerName() override;
    BOOL Configure() override;
    BOOL StartTracking() override;
    BOOL EndTracking() override;
    BOOL IsTrackingSupported() override;
    BOOL SetProbeAngles(double headA, double headB, double probeDiameter) override;
    BOOL HasIndexableHead() override;
    BOOL MoveTo(double x, double y, double z) override;
    BOOL MeasurePoint(double x, double y, double z, double i, double j, double k) override;
    BOOL SetApproachVector(double i, double j, double k) override;
    ThreadFunction GetThreadFunction() override;

    // One round trip with the GEOPAK macro: any earlier answer goes, the
    // command is written, and the answer is looked for until it comes (one
    // look outside a recording); TRUE when an answer was taken into command.
    BOOL SendGEOPAKCommand(GeopakCommand& command);
    // Writes the command file; a file that cannot be written is told to the
    // user and the caller goes on.
    void WriteCommandFile(const GeopakCommand& command);

    // What the host may know of the settings (framework/settings.h).
    static std::vector<SettingInfo> DescribeSettings();

private:
    static void GeopakWorkerThread(CMMProtocolWithThread* protocol);
    BOOL WriteCommandWithRetry(const GeopakCommand& command);
    void DeleteAnswerFile();
    void BringGeopakWindowToFront();
    std::string ExchangeFile(const char* name) const;
    BOOL WriteStartupCommand(const std::string& command);
    BOOL AwaitAcknowledgement(DWORD ms, const char* question, unsigned style);
    void Trace(const char* line);
    // One look for the answer; true when it was there (taken or rejected).
    bool LookForAnswer(GeopakCommand& command, BOOL& accepted);
    void RunWorkerCycle();
    GeopakCommand NextPollCommand();
    void ReportAnswer(const GeopakCommand& answer);
    void ReportNominal(double x, double y, double z);
    bool InterruptTransaction();
    void ResumeTransaction(bool interrupted);

    // Members, in declaration order.
    int m_debugLog;
    std::string m_applicationDirectory;
    std::string m_exchangeDirectory;
    std::string m_windowName;
    std::string m_startupCommand1;
    std::string m_startupCommand2;
    int m_geopakLocal;
    int m_automaticStartup;
    CMMPoint m_approachVector;  // i, j, k in x, y, z
    int m_approachVectorPending;
    int m_useSendKey;
    int m_hasIndexableHead;

    // The settings table: registry order, defaults, the dialog's copies.
    using Settings = SettingTable<MitutoyoProtocol, CConfigDlg>;
    static const Settings::Rows& SettingRows();

    // Guards m_approachVector together with m_approachVectorPending, so the
    // worker never sees the flag without the whole vector.
    std::mutex m_approachLock;
};
