// The plug-in's exported entry on Windows. The loader calls it once the
// module's static objects (the registration records) are built; it hands
// everything to the portable module entry with the module's own handle,
// which is also where the dialog templates are found.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdint>

// The portable entry (framework/plugin/module.h). Its header speaks the
// toolbox's own BOOL and DWORD, which clash with <windows.h>, so it is
// declared here in the plain types those names stand for.
int PluginDllMain(const void* instance, uint32_t reason, void* reserved);

extern "C" __declspec(dllexport) BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return PluginDllMain(instance, static_cast<uint32_t>(reason), reserved);
}
