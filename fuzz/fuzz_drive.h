// Drive C: of a fuzzer that goes through the plug-in's file readers: a folder
// of this process (in memory where there is such a folder, since readers and
// backups write line by line), removed at exit, with waits that take no real
// time.
#pragma once

#include "platform/platform.h"

#include <filesystem>
#include <random>
#include <string>

struct FuzzDrive {
    std::filesystem::path folder;
    explicit FuzzDrive(const std::string& name) {
        const std::filesystem::path shm = "/dev/shm";
        folder = (std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path()) /
                 (name + "-" + std::to_string(std::random_device()()));
        std::filesystem::create_directories(folder);
        plat::SetDriveMap({{'C', folder.string()}});
        plat::SetTimeScale(1e9);
    }
    ~FuzzDrive() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};
