# ExportDecoratedNames(TARGET MAPPING [LEAVING_OUT NAME...]): TARGET, a DLL
# built by g++, also exports each function of MAPPING (lines
# `gxx_symbol == DecoratedName`, as dlltool reads them) under its decorated
# name, but for the names left out. The linker's module-definition file is
# written from the mapping, so the two never disagree.
function(ExportDecoratedNames target mapping)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "LEAVING_OUT")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${mapping})
  file(STRINGS ${mapping} lines REGEX "^[^;]+==")
  set(exports "")
  set(seen ${arg_LEAVING_OUT})
  foreach(line IN LISTS lines)
    string(REGEX MATCH "^([^ ]+) *== *([^ ]+)" _ "${line}")
    set(symbol ${CMAKE_MATCH_1})
    set(decorated ${CMAKE_MATCH_2})
    # Constructor and destructor variants share one decorated name.
    if(NOT decorated IN_LIST seen)
      list(APPEND seen ${decorated})
      string(APPEND exports "  ${decorated} = ${symbol}\n")
    endif()
  endforeach()
  set(def ${CMAKE_CURRENT_BINARY_DIR}/${target}-decorated.def)
  file(WRITE ${def}.new "EXPORTS\n${exports}")
  file(COPY_FILE ${def}.new ${def} ONLY_IF_DIFFERENT)
  target_sources(${target} PRIVATE ${def})
endfunction()
