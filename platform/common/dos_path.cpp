// Pieces of DOS path handling that both halves share: which characters
// name a drive, and folding a path's components onto a folder.
#include "common_internal.h"

#include <cctype>

namespace plat::common {

bool IsDriveLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

void FoldPath(std::vector<std::string>& components, const std::string& path, size_t from) {
    std::string part;
    for (size_t i = from; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\' && path[i] != '/') {
            part += path[i];
            continue;
        }
        if (part == "..") {
            if (!components.empty()) components.pop_back();
        } else if (!part.empty() && part != ".") {
            components.push_back(part);
        }
        part.clear();
    }
}

}  // namespace plat::common
