# The one version number, PROJECT_VERSION from project() in the top-level
# CMakeLists.txt, reaches the code through one generated header: programs
# link kestrel_version and include "kestrel_version.h".  The Windows
# version resources and the packages take the same number.
configure_file(${CMAKE_CURRENT_LIST_DIR}/kestrel_version.h.in
               ${CMAKE_BINARY_DIR}/generated/kestrel_version.h @ONLY)
add_library(kestrel_version INTERFACE)
target_include_directories(kestrel_version INTERFACE ${CMAKE_BINARY_DIR}/generated)

# kestrel_version_resource(TARGET DESCRIPTION): on Windows, the program's
# version information (FileVersion x.y.z.0, the file name, DESCRIPTION).
# KestrelEx.exe has its own, beside its other resources.
function(kestrel_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(KESTREL_RC_NAME ${name})
  set(KESTREL_RC_FILE ${name}.exe)
  set(KESTREL_RC_DESCRIPTION ${description})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
endfunction()
