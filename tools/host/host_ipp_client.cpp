// cmmhost ipp-client: a small I++ DME 1.4 client for tests and users. Sends
// the command lines of a file (or standard input) one at a time, each after
// the "%" of the one before, prints every line the server sends, and fails
// when an error line came.
//
//   cmmhost ipp-client [--host H] [--port P] [--timeout SECONDS] FILE|-
//
// A line that starts with a tag ("00012 " or "E0012 ") is sent as it
// stands; any other gets the next free tag. Blank lines and lines starting
// with "#" are skipped. Exit codes: 0 every command completed without an
// error line, 1 an error line came or the server closed, 2 usage, 3 no
// connection, 5 a command got no "%" within the timeout.
#include "commands.h"
#include "host_ipp_client.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

struct ClientArgs {
    std::string host = "127.0.0.1", port = "1294", file;
    double timeoutSeconds = 60;
};

bool ParseClientArgs(int argc, char** argv, ClientArgs& a) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const bool more = i + 1 < argc;
        if (arg == "--host" && more) a.host = argv[++i];
        else if (arg == "--port" && more) a.port = argv[++i];
        else if (arg == "--timeout" && more) a.timeoutSeconds = std::strtod(argv[++i], nullptr);
        else if (!a.file.empty() || (arg.size() > 1 && arg[0] == '-')) return false;
        else a.file = arg;
    }
    return !a.file.empty() && a.timeoutSeconds > 0;
}

bool ReadAll(const std::string& file, std::string& text) {
    std::ostringstream all;
    if (file == "-") {
        all << std::cin.rdbuf();
    } else {
        std::ifstream in(file, std::ios::binary);
        if (!in) return false;
        all << in.rdbuf();
    }
    text = all.str();
    return true;
}

}  // namespace

const char kIppClientUsage[] =
    "usage: cmmhost ipp-client [--host H] [--port P] [--timeout SECONDS] FILE|-\n"
    "  sends each command line after the \"%\" of the one before and prints every response;\n"
    "  lines without a tag get the next one; exit 1 when an error line came\n";

int CmdIppClient(int argc, char** argv) {
    ClientArgs args;
    std::string text, error;
    if (!ParseClientArgs(argc, argv, args)) {
        std::fputs(kIppClientUsage, stderr);
        return 2;
    }
    if (!ReadAll(args.file, text)) {
        std::fprintf(stderr, "cmmhost ipp-client: cannot read %s\n", args.file.c_str());
        return 2;
    }
    IppClient client(args.timeoutSeconds);
    if (!client.Connect(args.host, args.port, error)) {
        std::fprintf(stderr, "cmmhost ipp-client: %s\n", error.c_str());
        return 3;
    }
    int status = 0;
    for (const std::string& command : TagCommandLines(text)) {
        std::printf("> %s\n", command.c_str());
        switch (client.Exchange(command, [](const std::string& line) {
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
        })) {
        case IppClient::Result::kOk: break;
        case IppClient::Result::kErrorLine: status = 1; break;
        case IppClient::Result::kClosed:
            std::fputs("cmmhost ipp-client: the server closed the connection\n", stderr);
            return 1;
        case IppClient::Result::kTimeout:
            std::fprintf(stderr, "cmmhost ipp-client: no \"%%\" for %s within %g s\n", command.c_str(),
                         args.timeoutSeconds);
            return 5;
        }
    }
    return status;
}
