# Fails when a folder of the harness includes from a folder above it, or
# reaches into the module past its state snapshot; when the game's side
# and the screen program (SCREEN) share more than the stream's header; or
# when the plug-in (MODULE) reaches into the harness, by an include or a path
# in its build: it sees only the host interface (hostapi/) and itself.
#   cmake -DHARNESS=harness -DROOMS="cli;play;demo;screenlink;run;world;formats"
#         -DSCREEN=screen -DMODULE=module -P CheckLayering.cmake
# ROOMS runs from the top down: a room may include from itself and the rooms
# after it.
cmake_minimum_required(VERSION 3.25)
set(faults "")
foreach(room IN LISTS ROOMS)
  file(GLOB_RECURSE sources "${HARNESS}/${room}/*.h" "${HARNESS}/${room}/*.cpp")
  list(FIND ROOMS ${room} at)
  list(SUBLIST ROOMS 0 ${at} above)
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^#include \"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
      string(REGEX MATCH "^[^/]+/" prefix "${header}")
      string(REPLACE "/" "" prefix "${prefix}")
      if(header MATCHES "^stream/" AND NOT header STREQUAL "stream/ScreenStream.h")
        list(APPEND faults "${source}: includes the screen's ${header}; only stream/ScreenStream.h is shared")
      elseif(NOT prefix AND EXISTS "${SCREEN}/${header}")
        list(APPEND faults "${source}: includes the screen program's ${header}")
      elseif(prefix IN_LIST above)
        list(APPEND faults "${source}: ${room}/ includes ${header}, from a room above it")
      elseif(prefix MATCHES "^(host|state|settings|record|rewind|overlay|log|marks)$"
             AND NOT header STREQUAL "host/Snapshot.h")
        list(APPEND faults "${source}: includes the module's ${header}; only host/Snapshot.h is shared")
      elseif(prefix STREQUAL "world" AND EXISTS "${MODULE}/${header}"
             AND NOT EXISTS "${HARNESS}/${header}")
        # The module has a world/ of its own beside the harness's.
        list(APPEND faults "${source}: includes the module's ${header}; only host/Snapshot.h is shared")
      endif()
    endforeach()
  endforeach()
endforeach()
# The screen program: its own files and the stream's header, nothing of the
# game's process.
file(GLOB_RECURSE sources "${SCREEN}/*.h" "${SCREEN}/*.cpp")
foreach(source IN LISTS sources)
  file(STRINGS "${source}" includes REGEX "^#include \"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
    if(header MATCHES "/" AND NOT header STREQUAL "stream/ScreenStream.h")
      list(APPEND faults "${source}: the screen program includes ${header}, not its own")
    endif()
  endforeach()
endforeach()
# The plug-in: no header that only the harness has, and no harness/ path in
# its build files.
file(GLOB_RECURSE harness_headers RELATIVE "${HARNESS}" "${HARNESS}/*.h")
set(harness_names "")
foreach(header IN LISTS harness_headers)
  get_filename_component(name "${header}" NAME)
  list(APPEND harness_names "${name}")
endforeach()
file(GLOB_RECURSE sources "${MODULE}/*.h" "${MODULE}/*.cpp" "${MODULE}/*.in")
foreach(source IN LISTS sources)
  file(STRINGS "${source}" includes REGEX "^#include \"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
    get_filename_component(name "${header}" NAME)
    if(header MATCHES "harness/" OR (name IN_LIST harness_names AND NOT EXISTS "${MODULE}/${header}"))
      list(APPEND faults "${source}: the module includes the harness's ${header}")
    endif()
  endforeach()
endforeach()
file(GLOB_RECURSE builds "${MODULE}/CMakeLists.txt" "${MODULE}/*.cmake")
foreach(build IN LISTS builds)
  file(STRINGS "${build}" lines REGEX "harness/")
  foreach(line IN LISTS lines)
    list(APPEND faults "${build}: the module's build names a harness path: ${line}")
  endforeach()
endforeach()
if(faults)
  list(JOIN faults "\n" faults)
  message(FATAL_ERROR "${faults}")
endif()
