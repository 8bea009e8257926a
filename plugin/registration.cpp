// The registration records that announce the protocols and describe their
// settings when the module loads, and the quarter-pi constants of the
// protocol units. One file, so the
// order is the declaration order: COSMOS is announced first, and each
// quarter-pi is set right after its protocol's record.
#include "cosmos/cosmos_protocol.h"
#include "framework/protocol.h"
#include "framework/settings.h"
#include "geopak/geopak_command.h"
#include "geopak/geopak_protocol.h"

#include <cmath>

static ProtocolRegister CosmosRegister("Mitutoyo - COSMOS1.3", MitutoyoCosmosProtocol::GetThisClass());
static SettingsRegister CosmosSettings("Mitutoyo - COSMOS1.3", MitutoyoCosmosProtocol::DescribeSettings());
static double CosmosQuarterPiValue = std::atan(1.0);
static ProtocolRegister GeopakRegister("Mitutoyo - GEOPAK3v5.3", MitutoyoProtocol::GetThisClass());
static SettingsRegister GeopakSettings("Mitutoyo - GEOPAK3v5.3", MitutoyoProtocol::DescribeSettings());
static double GeopakQuarterPiValue = std::atan(1.0);

double CosmosQuarterPi() { return CosmosQuarterPiValue; }
double GeopakQuarterPi() { return GeopakQuarterPiValue; }
