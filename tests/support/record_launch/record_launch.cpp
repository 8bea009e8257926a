// record_launch: the stand-in for a vendor program that tests start (copied
// into the sandbox under the vendor program's name). It writes how it was
// started into "launched.txt" in its working folder: that folder on the first
// line, then its arguments, one a line. The file is written beside and
// renamed into place, so a reader sees all of it or nothing.
#include <filesystem>
#include <fstream>

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path folder = fs::current_path(error);
    if (error) return 1;
    const fs::path part = folder / "launched.txt.part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << folder.string() << '\n';
        for (int i = 1; i < argc; ++i) out << argv[i] << '\n';
        if (!out.flush()) return 1;
    }
    fs::rename(part, folder / "launched.txt", error);
    return error ? 1 : 0;
}
