// cmmhost's sub-commands. Each parses its own arguments (argv[0] is the
// sub-command's name) and returns the process exit code.
#pragma once

// Each command's usage text: printed on stdout for --help, on stderr with a
// usage error.
extern const char kProtocolsUsage[];
extern const char kSettingsUsage[];
extern const char kConfigureUsage[];
extern const char kRunUsage[];
extern const char kDemoUsage[];
extern const char kServeUsage[];
extern const char kIppClientUsage[];

int CmdProtocols(int argc, char** argv);
int CmdSettings(int argc, char** argv);
int CmdConfigure(int argc, char** argv);
int CmdRun(int argc, char** argv);
int CmdDemo(int argc, char** argv);
int CmdServe(int argc, char** argv);
int CmdIppClient(int argc, char** argv);
