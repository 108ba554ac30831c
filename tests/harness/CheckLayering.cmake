# Fails when a folder of the harness includes from a folder above it, or
# reaches into the module past its state snapshot.
#   cmake -DHARNESS=harness -DROOMS="cli;play;demo;run;world;formats" -P CheckLayering.cmake
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
      if(prefix IN_LIST above)
        list(APPEND faults "${source}: ${room}/ includes ${header}, from a room above it")
      elseif(prefix MATCHES "^(host|state|settings|record|rewind|overlay|log|marks)$"
             AND NOT header STREQUAL "host/Snapshot.h")
        list(APPEND faults "${source}: includes the module's ${header}; only host/Snapshot.h is shared")
      endif()
    endforeach()
  endforeach()
endforeach()
if(faults)
  list(JOIN faults "\n" faults)
  message(FATAL_ERROR "${faults}")
endif()
