# What `cmake --install` puts where, and the packages `cpack` makes in a
# build folder: a .deb from the Linux build, a zip from the Windows build.
# Both carry PROJECT_VERSION, the one version number.
#
# Linux (under the prefix; the package's is /usr):
#   bin/KestrelEx, bin/KestrelSkin, bin/kestrel-system   the launcher finds
#                                  kestrel-system beside itself
#   lib/kestrelex/libkestrel-chooser.so   the chooser window, which the
#                                  launcher opens from bin/../lib/kestrelex
#   share/doc/kestrelex/README.md, share/doc/kestrelex/SampleGame/
# Windows (the zip's top folder KestrelEx-<version>-win32/):
#   KestrelEx.exe, KestrelSkin.exe, README.md, SampleGame/ with game.exe and
#   switch.exe built for Windows.
# KestrelCheck, when the tree builds it, goes beside KestrelEx.

set(kestrel_programs KestrelEx KestrelSkin)
if(TARGET KestrelCheck)
  list(APPEND kestrel_programs KestrelCheck)
endif()

# The sample as the tree holds it, without what a run of it leaves behind.
set(kestrel_sample_leftovers PATTERN started.txt EXCLUDE PATTERN edition.txt EXCLUDE)

set(CPACK_PACKAGE_NAME KestrelEx)
set(CPACK_PACKAGE_VENDOR "KestrelEx developers")
set(CPACK_PACKAGE_CONTACT "KestrelEx developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Game launcher for managed gaming PCs")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})

if(WIN32)
  install(TARGETS ${kestrel_programs} RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
  # The sample's shell-script programs are replaced by their Windows builds.
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/SampleGame DESTINATION .
          ${kestrel_sample_leftovers} PATTERN game.exe EXCLUDE PATTERN switch.exe EXCLUDE)
  install(TARGETS kestrel_sample_game kestrel_sample_switch RUNTIME DESTINATION SampleGame)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(kestrel_windows_arch win32)
  else()
    set(kestrel_windows_arch win64)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME KestrelEx-${PROJECT_VERSION}-${kestrel_windows_arch})
else()
  install(TARGETS ${kestrel_programs} kestrel_system RUNTIME DESTINATION bin)
  install(TARGETS kestrel_chooser_module LIBRARY DESTINATION lib/kestrelex)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/doc/kestrelex)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/SampleGame DESTINATION share/doc/kestrelex
          USE_SOURCE_PERMISSIONS ${kestrel_sample_leftovers})
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_PACKAGE_NAME kestrelex)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION games)
  # The dependencies are the Debian packages of the libraries the programs
  # and the chooser module link against, as dpkg-shlibdeps finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Wine runs the Windows programs games ship (installers, regsvr32, batch
  # files); the chooser's labels need a CJK face.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "wine, fonts-wqy-zenhei")
endif()

include(CPack)
