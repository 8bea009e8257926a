// How the simulated vendor programs read and write the exchange files.
// A command file is claimed: renamed to a private name first, then read from
// there once its writer has closed it, so the writer's next file is never
// deleted unread and never finds the macro holding its name open. An answer is written under a
// temporary name and renamed into place, so the reader never sees it half
// written; optionally the exclusive lock is kept a while after it appears.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cmmsim {

// The lines of the command file (line ends removed), or nothing when the file
// is gone or stays unreadable. An empty file is waited for a short while, as
// its writer may not hold its lock yet.
std::optional<std::vector<std::string>> ClaimCommandFile(const std::string& dosPath);

// Writes text ("\n" becomes CR LF) to the file atomically; with holdLockMs
// the file appears exclusively locked and stays so that long.
bool PublishAnswerFile(const std::string& dosPath, const std::string& text,
                       uint32_t holdLockMs = 0);

// "%12.6f" in the "C" locale.
std::string Number(double value);

}  // namespace cmmsim
