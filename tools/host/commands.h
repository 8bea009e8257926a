// cmmhost's sub-commands. Each parses its own arguments (argv[0] is the
// sub-command's name) and returns the process exit code.
#pragma once

int CmdProtocols(int argc, char** argv);
int CmdSettings(int argc, char** argv);
int CmdConfigure(int argc, char** argv);
int CmdRun(int argc, char** argv);
int CmdDemo(int argc, char** argv);
