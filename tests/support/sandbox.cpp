// The test sandbox: a fresh temporary folder holding drive C: and the
// virtual desktop, the time scale and the scripted UI, published in the
// environment too so that child processes (cmmsim, the test binary re-run as
// a helper) join the same drive map and desktop. Everything is put back, and
// the folder removed, when the sandbox ends.
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <thread>

namespace testsupport {
namespace {

namespace fs = std::filesystem;

const char* const kEnvironment[] = {"CMM_DRIVE_MAP", "CMM_DESKTOP", "CMM_TIME_SCALE", "CMM_SIM_OWNER"};

std::string FreshRoot() {
    static std::atomic<unsigned> counter{0};
    std::random_device seed;
    const fs::path base = SandboxBase();
    for (;;) {
        fs::path candidate = base / ("cmm-test-" + std::to_string(seed()) + "-" + std::to_string(counter++));
        std::error_code error;
        if (fs::create_directory(candidate, error)) return candidate.string();
    }
}

// Raw bytes; "" if missing.
std::string ReadNative(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

Sandbox::Sandbox(double timeScale)
    : m_root(FreshRoot()),
      m_driveC(m_root + "/c"),
      m_desktop(m_root + "/desktop"),
      m_oldMap(plat::DriveMap()),
      m_oldScale(plat::TimeScale()) {
    fs::create_directories(m_driveC);
    fs::create_directories(m_desktop);
    for (const char* name : kEnvironment)
        if (const char* value = std::getenv(name)) m_oldEnvironment[name] = value;
    m_oldDesktop = plat::DesktopFolder();
    m_oldUI = plat::CurrentHostUI();
    // Z: is the whole native file system, as under Wine, so native paths such
    // as the test binary's own can be named as DOS paths.
    plat::SetDriveMap({{'C', m_driveC}, {'Z', "/"}});
    plat::ChangeDrive(3);
    plat::ChangeDir("C:\\");
    plat::SetDesktopFolder(m_desktop);
    plat::SetTimeScale(timeScale);
    plat::SetHostUI(&m_ui);
    plat::SetEnvironmentValue("CMM_DRIVE_MAP", "C=" + m_driveC + ";Z=/");
    plat::SetEnvironmentValue("CMM_DESKTOP", m_desktop);
    plat::SetEnvironmentValue("CMM_SIM_OWNER", std::to_string(plat::CurrentProcessId()));
    char scale[32];  // the shortest text that reads back the same, in no locale
    plat::SetEnvironmentValue("CMM_TIME_SCALE", {scale, std::to_chars(scale, scale + sizeof scale, timeScale).ptr});
}

Sandbox::~Sandbox() {
    plat::SetHostUI(m_oldUI);
    plat::SetTimeScale(m_oldScale);
    plat::SetDesktopFolder(m_oldDesktop);
    plat::SetDriveMap(m_oldMap);
    for (const char* name : kEnvironment) {
        auto saved = m_oldEnvironment.find(name);
        plat::SetEnvironmentValue(name, saved != m_oldEnvironment.end() ? saved->second : "");
    }
    std::error_code error;
    fs::remove_all(m_root, error);
}

void Sandbox::WriteFile(const std::string& dosPath, const std::string& bytes) {
    fs::path native = plat::NativePath(dosPath);
    fs::create_directories(native.parent_path());
    std::ofstream out(native, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) ADD_FAILURE() << "cannot write " << native;
}

std::string Sandbox::ReadFile(const std::string& dosPath) const { return ReadNative(plat::NativePath(dosPath)); }

bool Sandbox::Exists(const std::string& dosPath) const { return plat::PathExists(dosPath); }

void Sandbox::MakeDir(const std::string& dosPath) {
    if (!plat::MakeDirectory(dosPath)) ADD_FAILURE() << "cannot make " << dosPath;
}

std::vector<std::string> Sandbox::KeyLog(plat::WindowHandle window) const {
    std::ifstream in(m_desktop + "/keys/" + std::to_string(window) + ".log", std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Golden(const std::string& name) {
    const std::string path = std::string(CMM_GOLDEN_DIR) + "/" + name;
    if (!fs::is_regular_file(path)) ADD_FAILURE() << "golden file missing: " << name;
    return ReadNative(path);
}

namespace {

std::string Unescaped(const std::string& field) {
    if (field == "\"\"") return {};
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        const char c = field[i], next = i + 1 < field.size() ? field[i + 1] : '\0';
        if (c != '\\' || !std::strchr("rntx\\", next) || next == '\0') out += c;
        else if (++i, next == 'x') out += static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16)), i += 2;
        else out += next == 'r' ? '\r' : next == 'n' ? '\n' : next == 't' ? '\t' : '\\';
    }
    return out;
}

}  // namespace

std::vector<std::vector<std::string>> GoldenRows(const std::string& name) {
    std::istringstream in(Golden(name));
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        rows.emplace_back();
        for (size_t from = 0, to = 0; to != std::string::npos; from = to + 3) {
            to = line.find(" | ", from);
            rows.back().push_back(Unescaped(line.substr(from, to == std::string::npos ? to : to - from)));
        }
    }
    return rows;
}

void PutInPlace(const std::string& nativePath, const std::string& bytes) {
    static std::atomic<unsigned> puts{0};
    const std::string part = nativePath + "." + std::to_string(puts++) + ".part";
    std::ofstream(part, std::ios::binary | std::ios::trunc) << bytes;
    std::error_code error;
    if (Eventually([&] { return fs::rename(part, nativePath, error), !error; }, 2000)) return;
    ADD_FAILURE() << "cannot put " << nativePath << " in place: " << error.message();
    fs::remove(part, error);
}

bool Eventually(const std::function<bool()>& cond, int realMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
    for (;;) {
        if (cond()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace testsupport
