// Scratch trees for the benchmark programs (see bench_support.h).
#include "bench_support.h"

namespace fs = std::filesystem;

namespace bench {

Scratch::Scratch(const std::string& tag) {
    static int count = 0;
    m_root = fs::temp_directory_path() /
             ("cmm-bench-" + std::to_string(plat::CurrentProcessId()) + "-" + tag + "-" + std::to_string(++count));
    fs::create_directories(m_root / "c" / "COSMOS" / "VELMOR");
    fs::create_directories(m_root / "c" / "DATA");
    fs::create_directories(m_root / "desktop");
    plat::SetDriveMap({{'C', (m_root / "c").string()}});
    plat::SetDesktopFolder((m_root / "desktop").string());
    plat::SetEnvironmentValue("CMM_DRIVE_MAP", "C=" + (m_root / "c").string());
    plat::SetEnvironmentValue("CMM_DESKTOP", (m_root / "desktop").string());
    plat::SetEnvironmentValue("CMM_TIME_SCALE", "1");
    plat::SetEnvironmentValue("CMM_SIM_OWNER", std::to_string(plat::CurrentProcessId()));
    plat::SetTimeScale(1.0);
}

Scratch::~Scratch() {
    std::error_code error;
    fs::remove_all(m_root, error);
}

}  // namespace bench
