// The file side of one COSMOS exchange: writing the parameter file and its
// backup, waiting for the answer (or the message file, or an event), reading
// and merging the answer, deleting files and copying maps.
#include "cosmos/cosmos_exchange.h"
#include "framework/toolbox.h"

#include <exception>

namespace {

constexpr uint32_t kWaitSliceMs = 10;
constexpr int kOpenAttempts = 3;
constexpr uint32_t kOpenRetryMs = 20;

// Reads the answer line by line into map, copying every line to backup when
// there is one. Over-long lines arrive in pieces; only a line that fits in
// one piece is an entry. Returns false when an "Actual…" value is not a
// finite number, naming it on the debugger output.
bool ReadAnswer(plat::File& answer, plat::File* backup, ParameterMap& map) {
    std::string piece;
    bool continuing = false, numbers = true;
    while (answer.ReadLine(piece, kMaxAnswerLine)) {
        const bool full = piece.size() >= kMaxAnswerLine;
        if (backup != nullptr) {
            if (!full) piece += '\n';
            backup->Write(piece);
            if (!full) piece.pop_back();
        }
        if (!continuing && !full && MergeAnswerLine(map, piece) && IsUnreadableActual(piece)) {
            plat::DebugOutput("Mitutoyo COSMOS: \"" + piece + "\" in the answer is not a number; no point is built from it\n");
            numbers = false;
        }
        continuing = full;
    }
    return numbers;
}

// One look at the answer file. Returns false when it is there but cannot be
// opened with others denied writing yet (the writer still holds it); numbers
// tells whether every "Actual…" value was one.
bool TakeAnswer(ParameterMap& map, const std::string& answerPath, bool& numbers) {
    plat::File answer;
    if (!answer.Open(answerPath, plat::kFileRead | plat::kFileText | plat::kShareDenyWrite)) return false;
    plat::File backup;
    const bool haveBackup = backup.Open(answerPath + ".bck", plat::kFileCreate | plat::kFileWrite | plat::kFileText);
    if (!haveBackup) plat::DebugOutput("Mitutoyo COSMOS: no backup of the answer " + answerPath + "\n");
    numbers = ReadAnswer(answer, haveBackup ? &backup : nullptr, map);
    backup.Close();
    answer.Close();
    // A file that cannot go now goes before the next parameter file is written.
    plat::RemoveFile(answerPath);
    return true;
}

int WaitForEvents(plat::Event* const* events, DWORD eventCount) {
    if (eventCount > 0) {
        const int index = plat::WaitAny(events, eventCount, kWaitSliceMs);
        if (index >= 0) return index;
        if (index == plat::kWaitTimeout) return -1;
    }
    plat::Sleep(kWaitSliceMs);  // keep the cadence without events to wait for
    return -1;
}

bool WriteEntries(plat::File& file, const ParameterMap& map) {
    for (const ParameterMap::Entry& entry : map) {
        if (!file.Write(FormatParameterLine(entry.first, entry.second))) return false;
    }
    return file.Close();
}

}  // namespace

int AwaitCosmosAnswer(ParameterMap& map, const std::string& answerPath, const std::string& messagePath,
                      plat::Event* const* events, DWORD eventCount, DWORD timeoutMs) {
    const uint32_t start = plat::TickCount();
    // The message file's look, then the answer's, 10 ms each, as two
    // WaitForFile calls one after the other make them; watched together, a
    // pass in which neither comes wakes once for both.
    const std::string files[] = {messagePath, answerPath};
    for (;;) {
        const int signalled = WaitForEvents(events, eventCount);
        if (signalled >= 0) return cosmos_result::kFirstEvent + signalled;
        const int found = plat::WaitForPathsInTurn(files, kWaitSliceMs);
        if (found == 0) {
            plat::RemoveFile(messagePath);
            return cosmos_result::kMessageFile;
        }
        bool numbers = true;
        if (found == 1 && TakeAnswer(map, answerPath, numbers)) {
            const int result = AnswerResult(map);
            return result == cosmos_result::kOk && !numbers ? cosmos_result::kNotANumber : result;
        }
        if (timeoutMs != 0 && plat::TickCount() - start >= timeoutMs) return cosmos_result::kTimeout;
    }
}

BOOL WriteParameterFile(const ParameterMap& map, const std::string& path) {
    try {
        plat::File file;
        bool opened = false;
        for (int attempt = 0; attempt < kOpenAttempts && !opened; ++attempt) {
            opened = file.Open(path, plat::kFileCreate | plat::kFileWrite | plat::kFileText);
            if (!opened) plat::Sleep(kOpenRetryMs);
        }
        if (!opened) {
            AfxMessageBox("Cannot Open " + path, MB_ICONHAND | MB_SYSTEMMODAL);
            return FALSE;
        }
        if (WriteEntries(file, map)) return TRUE;
    } catch (const std::exception&) {
        // Falls through to the same report as a failed write.
    }
    AfxMessageBox("Exception in Write", MB_ICONHAND | MB_SYSTEMMODAL);
    return FALSE;
}

BOOL WriteParameterFileWithBackup(const ParameterMap& map, const std::string& path) {
    for (;;) {
        try {
            if (!WriteParameterFile(map, path + ".bck")) return FALSE;
            return WriteParameterFile(map, path);
        } catch (const std::exception&) {
            const int answer = AfxMessageBox(
                " MITUTOYO DRIVER : Unable to write the GEOPAK Command File\n Do you want to continue ?",
                MB_YESNO | MB_ICONHAND | MB_SYSTEMMODAL);
            if (answer != IDYES) return FALSE;
        }
    }
}

BOOL DeleteFileIfPresent(const std::string& path) {
    if (!plat::PathExists(path)) return TRUE;
    return plat::RemoveFile(path) ? TRUE : FALSE;
}

void CopyParameters(ParameterMap& target, const ParameterMap& source) {
    for (const ParameterMap::Entry& entry : source) target[entry.first] = entry.second;
}
