# Checks that every include under src/ points down the layer order, and that
# only the folders and files meant for it include Qt or windows.h.
#   cmake -DSRC=<repository>/src -P tools/CheckLayers.cmake
#
# A file belongs to the layer of the deepest folder listed below that holds
# it, so a new folder under a layer (ui/win32, link/serial, ...) belongs to
# that layer's entry; a new folder at the top of src/ must be placed here.

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
    "ui/qt,ui/win32,cli")
# Folders beside the order, with the layers they may include; `cli` alone may
# include the simulator (its byte log uses the simulator's transcript format).
set(kSideLayers "sim:startup,link")
set(kAlsoAllowed "cli:sim")
# Where Qt may be included: the Qt view, the Qt serial transport (with the
# event loop it needs in a program without a window) and files named after
# Qt. windows.h: files named after Windows or Win32, and ui/win32.
set(kQtFolders "^(ui/qt|link/serial)/")
set(kWindowsFolders "^ui/win32/")
# Known exceptions, each kept until it moves into a platform file of its own.
set(kWindowsHeaderExceptions "ui/qt/QtHost.cpp")

if(NOT SRC OR NOT IS_DIRECTORY "${SRC}")
  message(FATAL_ERROR "CheckLayers: give -DSRC=<the src folder>")
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
  get_filename_component(name "${source}" NAME)
  file(STRINGS "${SRC}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS includes)
    string(REGEX MATCH "[<\"]([^>\"]+)[>\"]" _ "${line}")
    set(target "${CMAKE_MATCH_1}")
    if(line MATCHES "<")
      # Qt's headers are named Q..., and <windows.h> is the Windows API.
      if(target MATCHES "^Q[A-Za-z]*(/|$)" AND NOT source MATCHES "${kQtFolders}"
         AND NOT name MATCHES "Qt")
        list(APPEND failures "${source}: includes Qt (${target}) outside the Qt view and serial transport")
      endif()
      if(target STREQUAL "windows.h" AND NOT source MATCHES "${kWindowsFolders}"
         AND NOT name MATCHES "(Windows|Win32)" AND NOT source IN_LIST kWindowsHeaderExceptions)
        list(APPEND failures "${source}: includes windows.h outside a Windows file")
      endif()
      continue()
    endif()
    # Quoted includes: beside the file first, then from src/.
    if(EXISTS "${SRC}/${directory}/${target}")
      set(resolved "${directory}/${target}")
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

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "Includes against the layer order:\n  ${text}")
endif()
list(LENGTH sources count)
message(STATUS "CheckLayers: ${count} files, every include points down the layer order")
