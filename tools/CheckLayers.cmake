# Checks that every include under src/ points down the layer order, that a
# test includes only the test kit (tests/support), its own folder and the
# layers it tests, and that only the folders and files meant for it include
# Qt or windows.h.
#   cmake -DSRC=<repository>/src -DTESTS=<repository>/tests -P tools/CheckLayers.cmake
#
# A file belongs to the layer of the deepest folder listed below that holds
# it, so a new folder under a layer (ui/win32, link/serial, ...) belongs to
# that layer's entry; a new folder at the top of src/ or tests/ must be
# placed here.

cmake_minimum_required(VERSION 3.25)

# The layer order, lowest first. Folders in one entry are siblings: they may
# include what lies below them, but not each other.
set(kLayerOrder
    "startup"
    "link"
    "protocol"
    "window"
    "download,maintenance"
    "ui"
    "station"
    "stationwindow"
    "ui/qt,ui/win32,cli")
# Folders beside the order, with the layers they may include; `cli` alone may
# include the simulator (its byte log uses the simulator's transcript format).
set(kSideLayers "sim:startup,link")
set(kAlsoAllowed "cli:sim")
# The test folders with the layers they test; a test may include those and
# what they may include. Scenario tests of the maintenance operations drive
# the whole window against the simulated card reader; the end-to-end tests
# the programs; the fuzz targets reach down from the command line's check.
set(kTestFolders
    "startup:startup"
    "link:link"
    "serial:link"
    "remote:link"
    "sim:sim"
    "protocol:protocol"
    "download:download"
    "maintenance:maintenance,ui,sim"
    "ui:ui"
    "station:station"
    "stationwindow:stationwindow"
    "cli:cli"
    "view:ui/qt"
    "win32view:ui/win32"
    "e2e:ui/qt,ui/win32"
    "fuzz:cli"
    "packaging:startup"
    "support:ui,sim")
# Where Qt may be included: the Qt view, the Qt serial transport (with the
# event loop it needs in a program without a window) and files named after
# Qt; in tests/ the tests of those. windows.h: files named after Windows,
# and ui/win32; in tests/ its tests and the window driver.
set(kQtFolders "^(ui/qt|link/serial)/")
set(kWindowsFolders "^ui/win32/")
set(kQtTestFolders "^tests/(view|serial)/")
set(kWindowsTestFolders "^tests/(win32view|e2e/win32)/")

if(NOT SRC OR NOT IS_DIRECTORY "${SRC}" OR NOT TESTS OR NOT IS_DIRECTORY "${TESTS}")
  message(FATAL_ERROR "CheckLayers: give -DSRC=<the src folder> -DTESTS=<the tests folder>")
endif()

# rank_<folder>, group_<folder> and allowed_<folder> for every listed folder.
set(known_folders)
set(rank 0)
foreach(entry IN LISTS kLayerOrder)
  string(REPLACE "," ";" folders "${entry}")
  foreach(folder IN LISTS folders)
    set(rank_${folder} ${rank})
    set(group_${folder} "${entry}")
    list(APPEND known_folders ${folder})
  endforeach()
  math(EXPR rank "${rank} + 1")
endforeach()
foreach(side IN LISTS kSideLayers kAlsoAllowed)
  string(REGEX MATCH "^([^:]+):(.*)$" _ "${side}")
  string(REPLACE "," ";" below "${CMAKE_MATCH_2}")
  list(APPEND allowed_${CMAKE_MATCH_1} ${below})
endforeach()
foreach(side IN LISTS kSideLayers)
  string(REGEX MATCH "^([^:]+):" _ "${side}")
  set(side_${CMAKE_MATCH_1} TRUE)
  list(APPEND known_folders ${CMAKE_MATCH_1})
endforeach()

# The listed folder a path below src/ belongs to (the deepest one), or "".
function(layer_of relative out)
  set(best "")
  foreach(folder IN LISTS known_folders)
    string(LENGTH "${folder}" length)
    string(LENGTH "${best}" best_length)
    if((relative MATCHES "^${folder}/") AND length GREATER best_length)
      set(best ${folder})
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

# Whether a file in layer `from` may include one in layer `to`.
function(may_include from to out)
  set(ok FALSE)
  if(from STREQUAL to)
    set(ok TRUE)
  elseif(to IN_LIST allowed_${from})
    set(ok TRUE)
  elseif(NOT side_${from} AND NOT side_${to} AND DEFINED rank_${to}
         AND rank_${to} LESS rank_${from})
    set(ok TRUE)
  endif()
  set(${out} ${ok} PARENT_SCOPE)
endfunction()

# The layers a test folder's files may include, or "" for no listed folder.
foreach(entry IN LISTS kTestFolders)
  string(REGEX MATCH "^([^:]+):(.*)$" _ "${entry}")
  string(REPLACE "," ";" tested "${CMAKE_MATCH_2}")
  set(tests_${CMAKE_MATCH_1} ${tested})
endforeach()

# Whether a test of `folder` may include a file of layer `to`.
function(test_may_include folder to out)
  set(ok FALSE)
  foreach(layer IN LISTS tests_${folder})
    may_include("${layer}" "${to}" layer_ok)
    if(layer_ok)
      set(ok TRUE)
    endif()
  endforeach()
  set(${out} ${ok} PARENT_SCOPE)
endfunction()

# The quoted and the angle-bracket includes of a file.
function(includes_of path quoted_out system_out)
  file(STRINGS "${path}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  set(quoted)
  set(system)
  foreach(line IN LISTS lines)
    string(REGEX MATCH "[<\"]([^>\"]+)[>\"]" _ "${line}")
    set(target "${CMAKE_MATCH_1}")  # before MATCHES sets it anew
    if(line MATCHES "<")
      list(APPEND system "${target}")
    else()
      list(APPEND quoted "${target}")
    endif()
  endforeach()
  set(${quoted_out} ${quoted} PARENT_SCOPE)
  set(${system_out} ${system} PARENT_SCOPE)
endfunction()

# Qt only where `qt_folders` says, windows.h only where `windows_folders`
# says, each also in files named after them.
function(check_system_include source target qt_folders windows_folders)
  get_filename_component(name "${source}" NAME)
  if(target MATCHES "^Q[A-Za-z]*(/|$)" AND NOT source MATCHES "${qt_folders}" AND NOT name MATCHES "Qt")
    list(APPEND failures "${source}: includes Qt (${target}) outside the Qt view and serial transport")
  endif()
  if(target STREQUAL "windows.h" AND NOT source MATCHES "${windows_folders}" AND NOT name MATCHES "Windows")
    list(APPEND failures "${source}: includes windows.h outside a Windows file")
  endif()
  set(failures ${failures} PARENT_SCOPE)
endfunction()

set(failures)
file(GLOB_RECURSE sources RELATIVE "${SRC}" "${SRC}/*.h" "${SRC}/*.cpp")
list(SORT sources)
foreach(source IN LISTS sources)
  layer_of("${source}" from)
  if(from STREQUAL "")
    list(APPEND failures "${source}: its folder is in no layer (add it to tools/CheckLayers.cmake)")
    continue()
  endif()
  get_filename_component(directory "${source}" DIRECTORY)
  includes_of("${SRC}/${source}" quoted system)
  foreach(target IN LISTS system)
    check_system_include("${source}" "${target}" "${kQtFolders}" "${kWindowsFolders}")
  endforeach()
  foreach(target IN LISTS quoted)
    # Beside the file first, then from src/.
    if(EXISTS "${SRC}/${directory}/${target}")
      get_filename_component(resolved "${SRC}/${directory}/${target}" ABSOLUTE)
      file(RELATIVE_PATH resolved "${SRC}" "${resolved}")
    else()
      set(resolved "${target}")
    endif()
    layer_of("${resolved}" to)
    if(to STREQUAL "")
      continue()  # not ours (or a file that does not exist: the compiler says so)
    endif()
    may_include("${from}" "${to}" ok)
    if(NOT ok)
      list(APPEND failures "${source}: includes ${target} (${from} may not include ${to})")
    endif()
  endforeach()
endforeach()
list(LENGTH sources count)

file(GLOB_RECURSE tests RELATIVE "${TESTS}" "${TESTS}/*.h" "${TESTS}/*.cpp")
list(SORT tests)
foreach(test IN LISTS tests)
  string(REGEX MATCH "^[^/]+" folder "${test}")
  if(NOT DEFINED tests_${folder})
    list(APPEND failures "tests/${test}: its folder tests no listed layer (add it to tools/CheckLayers.cmake)")
    continue()
  endif()
  get_filename_component(directory "${test}" DIRECTORY)
  includes_of("${TESTS}/${test}" quoted system)
  foreach(target IN LISTS system)
    check_system_include("tests/${test}" "${target}" "${kQtTestFolders}" "${kWindowsTestFolders}")
  endforeach()
  foreach(target IN LISTS quoted)
    # Beside the file, then from tests/ (the kit, a sibling folder), then
    # from src/.
    if(EXISTS "${TESTS}/${directory}/${target}" OR EXISTS "${TESTS}/${target}")
      if(EXISTS "${TESTS}/${directory}/${target}")
        get_filename_component(found "${TESTS}/${directory}/${target}" ABSOLUTE)
      else()
        get_filename_component(found "${TESTS}/${target}" ABSOLUTE)
      endif()
      file(RELATIVE_PATH found "${TESTS}" "${found}")
      string(REGEX MATCH "^[^/]+" to_folder "${found}")
      if(NOT to_folder STREQUAL "support" AND NOT to_folder STREQUAL folder)
        list(APPEND failures "tests/${test}: includes ${target}, a file of the sibling test folder ${to_folder}")
      endif()
      continue()
    endif()
    layer_of("${target}" to)
    if(to STREQUAL "")
      continue()
    endif()
    test_may_include("${folder}" "${to}" ok)
    if(NOT ok)
      list(APPEND failures "tests/${test}: includes ${target} (tests of ${folder} may not include ${to})")
    endif()
  endforeach()
endforeach()
list(LENGTH tests test_count)

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "Includes against the layer order:\n  ${text}")
endif()
message(STATUS "CheckLayers: ${count} files and ${test_count} test files, every include points down the layer order")
