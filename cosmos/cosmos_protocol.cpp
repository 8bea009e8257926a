// The COSMOS protocol object: construction (its settings' defaults come from
// the settings table in cosmos_configure.cpp) and the small operations that
// only report or store a value.
#include "cosmos/cosmos_protocol.h"
#include "framework/toolbox.h"

IMPLEMENT_DYNCREATE_PROTOCOL(MitutoyoCosmosProtocol, CMMProtocolWithThread)

double DegreesToRadians(double degrees) { return degrees / 45.0 * CosmosQuarterPi(); }

MitutoyoCosmosProtocol::MitutoyoCosmosProtocol()
    : m_lastCommandResult(0),
      m_geopakWindow(plat::kNoWindow),
      m_commandDialog(nullptr) {
    // Every setting, the remote-start timeout included, from the table.
    Settings::ApplyDefaults(SettingRows(), *this);
    m_commandRequestEvent.Reset();
}

MitutoyoCosmosProtocol::~MitutoyoCosmosProtocol() {
    // The worker is not ended here: deleting the object ends it before any
    // destructor runs (the framework's operator delete).
}

HWND MitutoyoCosmosProtocol::LocateApplicationWindow() {
    const HWND window = GetWindowFromClass(m_geopakWindowClass, 0);
    m_geopakWindow = window;
    return window;
}

std::string MitutoyoCosmosProtocol::GetControllerName() { return "COSMOS"; }

BOOL MitutoyoCosmosProtocol::HasIndexableHead() { return m_hasIndexableHead; }

ThreadFunction MitutoyoCosmosProtocol::GetThreadFunction() { return &CosmosWorkerThread; }
