// Finding and loading the plug-in module for cmmhost, and where a protocol's
// settings live in a .reg store.
#pragma once

#include <string>

// Remembers argv[0], the fallback for finding cmmhost's own folder.
void SetHostProgramPath(const std::string& argv0);
// "Mitutoyo.cmm" in the folder of the running cmmhost.
std::string DefaultPluginPath();
// Loads the plug-in once per process (empty path: DefaultPluginPath()); its
// registration records announce the protocols. The module stays loaded for
// the life of the process, since protocol objects run its code. False with
// a message for the user when it cannot be loaded.
bool LoadPlugin(const std::string& path, std::string& error);
// The default key of a protocol's settings:
// "HKEY_CURRENT_USER\Software\ZOR\CMM Protocols\<display name>".
std::string DefaultKeyPath(const std::string& displayName);
