// Configure of the COSMOS protocol: the settings dialog and the copy back.
#include "cosmos/cosmos_protocol.h"

BOOL MitutoyoCosmosProtocol::Configure() { return FALSE; }
