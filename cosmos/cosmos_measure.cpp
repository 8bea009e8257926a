// The COSMOS measuring operations: probe a point (Cmd 8), move (Cmd 9) and set
// the head angles (Cmd 2). Each fills the caller-side map and hands it to the
// worker through RunCosmosCommand.
#include "cosmos/cosmos_protocol.h"

#include <cmath>

namespace {

constexpr double kProbeClearance = 3.0;  // start and target lie this far off the point
constexpr double kDefaultProbeDiameter = 2.0;

}  // namespace

BOOL MitutoyoCosmosProtocol::MeasurePoint(double x, double y, double z, double i, double j, double k) {
    if (m_machineType == 0 || CommandInProgress()) return FALSE;
    const double length = std::sqrt(i * i + j * j + k * k);
    // A direction without length (or anything not finite) would send
    // non-finite positions to the machine: refused before anything is sent.
    if (!(length > 0.0) || !std::isfinite(length) || !std::isfinite(x) || !std::isfinite(y) ||
        !std::isfinite(z)) {
        return FALSE;
    }
    const double ux = i / length, uy = j / length, uz = k / length;
    {
        std::lock_guard<std::recursive_mutex> guard(m_parametersLock);
        m_parameters["Cmd"] = 8.0;
        m_parameters["XStart"] = x - kProbeClearance * ux;
        m_parameters["YStart"] = y - kProbeClearance * uy;
        m_parameters["ZStart"] = z - kProbeClearance * uz;
        m_parameters["XTarget"] = x + kProbeClearance * ux;
        m_parameters["YTarget"] = y + kProbeClearance * uy;
        m_parameters["ZTarget"] = z + kProbeClearance * uz;
    }
    RunCosmosCommand();
    PointReport report(*this);
    m_reportedPoint = CMMPoint{x, y, z};
    SendMessageToClient(1);
    return TRUE;
}

BOOL MitutoyoCosmosProtocol::MoveTo(double x, double y, double z) {
    if (m_machineType == 0 || CommandInProgress()) return FALSE;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return FALSE;
    {
        std::lock_guard<std::recursive_mutex> guard(m_parametersLock);
        m_parameters["Cmd"] = 9.0;
        m_parameters["XGoto"] = x;
        m_parameters["YGoto"] = y;
        m_parameters["ZGoto"] = z;
    }
    if (RunCosmosCommand() != cosmos_result::kOk) return TRUE;
    ActualPoint reached;
    {
        std::lock_guard<std::recursive_mutex> guard(m_parametersLock);
        reached = ReadActualPoint(m_parameters);
    }
    ReportPoint(reached);
    return TRUE;
}

BOOL MitutoyoCosmosProtocol::SetProbeAngles(double headA, double headB, double probeDiameter) {
    if (m_hasIndexableHead == 0 || CommandInProgress()) return FALSE;
    {
        std::lock_guard<std::recursive_mutex> guard(m_parametersLock);
        m_parameters["Cmd"] = 2.0;
        m_parameters["ProbeD"] = probeDiameter == 0.0 ? kDefaultProbeDiameter : probeDiameter;
        m_parameters["Ph9A"] = headA;
        m_parameters["Ph9B"] = headB;
        m_parameters["Tree"] = 0.0;
        m_parameters["XProbe"] = 0.0;
        m_parameters["YProbe"] = 0.0;
        m_parameters["ZProbe"] = 0.0;
    }
    RunCosmosCommand();
    return TRUE;
}
