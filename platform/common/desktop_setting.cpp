// The desktop folder setting, shared by both halves; only where it starts
// out differs (each half's DefaultDesktopFolder).
#include "common_internal.h"

#include <mutex>

namespace plat {
namespace {

std::mutex& DesktopLock() {
    static std::mutex lock;
    return lock;
}

std::string& DesktopSetting() {
    static std::string folder = common::DefaultDesktopFolder();
    return folder;
}

}  // namespace

void SetDesktopFolder(const std::string& nativeFolder) {
    std::lock_guard<std::mutex> guard(DesktopLock());
    DesktopSetting() = nativeFolder;
}

std::string DesktopFolder() {
    std::lock_guard<std::mutex> guard(DesktopLock());
    return DesktopSetting();
}

}  // namespace plat
