# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix threads
# flavour, so std::thread and std::mutex work). The results run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMM_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CMM_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CMM_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${CMM_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CMM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One shared C++ runtime for all our modules (the toolbox DLL, the plug-in
# and the programs pass strings, functions and threads across): its DLLs are
# copied next to the binaries so they start under Wine as they are.
file(GLOB CMM_MINGW_RUNTIME_DLLS
     /usr/lib/gcc/${CMM_MINGW_PREFIX}/*-posix/libstdc++-6.dll
     /usr/lib/gcc/${CMM_MINGW_PREFIX}/*-posix/libgcc_s_seh-1.dll
     /usr/${CMM_MINGW_PREFIX}/lib/libwinpthread-1.dll)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
