// Configure of the GEOPAK protocol: the settings dialog and the copy back.
#include "geopak/geopak_protocol.h"

BOOL MitutoyoProtocol::Configure() { return FALSE; }
