// What DllMain does, on every OS. The OS entry glue (posix/, win32/) calls
// it once the registration records exist. Attach writes
// "Mitutoyo.DLL Initializing!\n" to the debugger output and registers the
// dialog templates under the module; detach writes
// "Mitutoyo DLL Terminating!\n" and withdraws them. TRUE for every reason.
// Tests that link the plug-in's code directly call it themselves.
#pragma once

#include "framework/types.h"
#include "platform/platform.h"

constexpr DWORD kProcessDetach = 0;
constexpr DWORD kProcessAttach = 1;
BOOL PluginDllMain(plat::ModuleHandle instance, DWORD reason, void* reserved);
