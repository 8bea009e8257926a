# The Windows-only parts of the build (included from the top level when
# cross-building with mingw-w64): the system libraries of the platform half,
# the dialog templates compiled by windres into the plug-in, the launcher
# program the simulator copies, and the C++ runtime DLLs beside the binaries.
enable_language(RC)

target_link_libraries(cmm_platform PUBLIC user32 gdi32 shell32 advapi32 psapi winmm)
target_link_libraries(ZORToolBox PUBLIC user32 gdi32 shell32 advapi32 psapi winmm)

# The templates go into every module built from the plug-in's code: the
# Mitutoyo.cmm module and the test programs, which show the same dialogs.
target_sources(mitutoyo_core PRIVATE ${CMAKE_SOURCE_DIR}/dialogs/Mitutoyo.rc)
set_property(SOURCE ${CMAKE_SOURCE_DIR}/dialogs/Mitutoyo.rc APPEND PROPERTY
             OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/dialogs/resource.h)

# The program every simulator launcher is a copy of.
add_executable(cmmlaunch ${CMAKE_SOURCE_DIR}/platform/tools/win32/cmmlaunch/cmmlaunch.cpp)
cmm_warnings(cmmlaunch)
if(TARGET cmmsim)
  add_dependencies(cmmsim cmmlaunch)
endif()

# Shows one dialog of a module's resources for the screenshots.
add_executable(dialogshot ${CMAKE_SOURCE_DIR}/platform/win32/tools/dialogshot/dialogshot.cpp)
target_link_libraries(dialogshot PRIVATE user32)
cmm_warnings(dialogshot)

# One shared C++ runtime for all our modules (the toolbox DLL, the plug-in
# and the programs pass strings, functions and threads across): its DLLs,
# found where the compiler itself links them from, are copied next to the
# binaries so they start under Wine as they are.
file(MAKE_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  # The compiler echoes a name it cannot find as it is.
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} has no ${dll} to ship beside the programs")
  endif()
  file(COPY ${path} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
endforeach()
