// The plug-in's exported entry on Windows. The loader calls it once the
// module's static objects (the registration records) are built; it hands
// everything to the portable module entry with the module's own handle,
// which is also where the dialog templates are found.
//
// Written in the plain types of the Win32 prototype (HINSTANCE a pointer,
// DWORD a 32-bit unsigned long, BOOL an int) rather than through
// <windows.h>, whose BOOL and DWORD would clash with the toolbox's own.
#include "plugin/module_entry.h"

extern "C" __declspec(dllexport) int __stdcall DllMain(void* instance, unsigned long reason, void* reserved) {
    return PluginDllMain(instance, static_cast<DWORD>(reason), reserved);
}
