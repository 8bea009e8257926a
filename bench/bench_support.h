// What the two benchmark programs share: a scratch drive C: (and desktop)
// under the temporary folder, removed at the end.
#pragma once

#include "platform/tools.h"

#include <filesystem>
#include <string>

namespace bench {

class Scratch {
public:
    explicit Scratch(const std::string& tag);
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

private:
    std::filesystem::path m_root;
};

}  // namespace bench
