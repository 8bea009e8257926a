# The version check of the build machine's own nlohmann-json package.
include(/usr/share/cmake/nlohmann_json/nlohmann_jsonConfigVersion.cmake)
