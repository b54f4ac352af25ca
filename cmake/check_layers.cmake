# Keeps the layers of the tree: a file may include headers of its own
# folder and of the layers below it, never of a layer above or of a sibling
# folder in its own layer.  Lists every offending include as file:line.
#
#   cmake -DSOURCE_DIR=<tree> -P cmake/check_layers.cmake
#
# The layers, top to bottom (the README's Layout table draws the same).  A
# file belongs to the longest folder that holds it.
set(layers
  "app check tools bench fuzz tests tests/support"  # programs, whole-launch tests, test support
  "platform/linux platform/win32"     # the real machine: opens the chooser's window, decodes images
  "actions prereq chooser"
  "skin"
  "util"                              # tree walks, process and registry helpers over the platform
  "core"                              # launch context, diagnostics, list splitting, small parsers
  "framework"                         # CWinApp, and on Win32 CWnd, CDialog, CButton, GDI objects
  "platform"                          # the interface, the shared Windows rules (model/), the fake
  "text"                              # text helpers that depend on nothing
)
# Tests also run on the machines they test against and use the shared test
# support; neither makes them part of a higher layer.
set(test_folders tests/support platform/fake platform/linux platform/win32)
# Includes that cross the layers on purpose.  "file -> header" each.
set(allowed
  # The one image type the platform decodes into; it depends on nothing.
  "platform/platform.h -> skin/skin_image.h"
)

cmake_minimum_required(VERSION 3.25)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is not set")
endif()

set(folders "")
set(rank 0)
foreach(layer IN LISTS layers)
  string(REPLACE " " ";" members "${layer}")
  foreach(folder IN LISTS members)
    list(APPEND folders ${folder})
    set(rank_of_${folder} ${rank})
  endforeach()
  math(EXPR rank "${rank} + 1")
endforeach()

# The longest listed folder holding `path`, or empty.
function(folder_of path out)
  set(best "")
  foreach(folder IN LISTS folders)
    string(LENGTH "${folder}/" n)
    string(SUBSTRING "${path}" 0 ${n} head)
    string(LENGTH "${best}" best_n)
    if(head STREQUAL "${folder}/" AND n GREATER best_n)
      set(best ${folder})
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

set(globs "")
foreach(folder IN LISTS folders)
  foreach(ext h hpp cpp c inc)
    list(APPEND globs "${SOURCE_DIR}/${folder}/*.${ext}")
  endforeach()
endforeach()
file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}" ${globs})
list(REMOVE_DUPLICATES files)
list(SORT files)

set(found 0)
foreach(file IN LISTS files)
  folder_of("${file}" own)
  set(own_rank ${rank_of_${own}})
  get_filename_component(name "${file}" NAME)
  set(is_test OFF)
  if(name MATCHES "_test\\.cpp$|test_support|^test_" OR file MATCHES "^tests/")
    set(is_test ON)
  endif()
  file(STRINGS "${SOURCE_DIR}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" header "${line}")
    folder_of("${header}" theirs)
    if(theirs STREQUAL "" OR theirs STREQUAL own OR "${file} -> ${header}" IN_LIST allowed)
      continue()
    endif()
    set(their_rank ${rank_of_${theirs}})
    if(their_rank GREATER own_rank OR own_rank EQUAL 0)
      continue()
    endif()
    if(is_test AND theirs IN_LIST test_folders)
      continue()
    endif()
    # Report with the line number.
    file(READ "${SOURCE_DIR}/${file}" text)
    string(FIND "${text}" "${line}" at)
    string(SUBSTRING "${text}" 0 ${at} before)
    string(REGEX REPLACE "[^\n]" "" newlines "${before}")
    string(LENGTH "${newlines}" number)
    math(EXPR number "${number} + 1")
    if(their_rank EQUAL own_rank)
      set(why "beside ${own}/ in one layer")
    else()
      set(why "a layer above ${own}/")
    endif()
    message("${file}:${number}: includes \"${header}\": ${theirs}/ is ${why}")
    math(EXPR found "${found} + 1")
  endforeach()
endforeach()

list(LENGTH files scanned)
if(found GREATER 0)
  message(FATAL_ERROR "${found} include(s) cross the layers (${scanned} files scanned)")
endif()
message(STATUS "layers kept: ${scanned} files scanned")
