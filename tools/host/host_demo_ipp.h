// The demo's last act: an I++ DME 1.4 session through `cmmhost serve`
// (started as a child of the demo, COSMOS behind it) measuring the bore
// with four probes, the transcript printed and the diameter fitted.
#pragma once

#include "demo_support.h"

#include <string>

// True when the session ran without an error line; plugin as for the demo.
bool RunIppDemoSession(const DemoPart& part, const std::string& root, const std::string& plugin);
