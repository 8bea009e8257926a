# The Windows-only parts of the build (included from the top level when
# cross-building with mingw-w64): the system libraries of the platform half,
# the dialog templates compiled by windres into the plug-in, the launcher
# program the simulator copies, and the C++ runtime DLLs beside the binaries.
enable_language(RC)

target_link_libraries(cmm_platform PUBLIC user32 gdi32 shell32 advapi32 psapi)
target_link_libraries(ZORToolBox PUBLIC user32 gdi32 shell32 advapi32 psapi)

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

if(CMM_MINGW_RUNTIME_DLLS)
  file(MAKE_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  file(COPY ${CMM_MINGW_RUNTIME_DLLS} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
endif()

# Programs that include nlohmann-json find it on the compiler's default path
# in the native build; the cross build has to name it.
find_package(nlohmann_json 3 REQUIRED)
foreach(target cmmhost e2e_tests)
  if(TARGET ${target})
    target_link_libraries(${target} PRIVATE nlohmann_json::nlohmann_json)
  endif()
endforeach()
