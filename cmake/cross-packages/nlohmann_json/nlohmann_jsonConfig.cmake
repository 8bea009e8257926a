# nlohmann-json for the cross build. The header-only library from the build
# machine is used as it is, but its own package file would put the build
# machine's whole include folder on the path (and its C library headers with
# it), so only the library's own header folder is exposed here.
if(NOT TARGET nlohmann_json::nlohmann_json)
  set(_cmm_json_headers ${CMAKE_BINARY_DIR}/cross-headers)
  file(MAKE_DIRECTORY ${_cmm_json_headers})
  if(NOT EXISTS ${_cmm_json_headers}/nlohmann)
    file(CREATE_LINK /usr/include/nlohmann ${_cmm_json_headers}/nlohmann SYMBOLIC)
  endif()
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_cmm_json_headers})
endif()
