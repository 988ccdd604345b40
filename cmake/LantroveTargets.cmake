# lantrove_library(<name> [PUBLIC <deps>...] [PRIVATE <deps>...] [EXCLUDE <regex>])
# Builds every .cpp below the calling folder into one static library. The
# source root is the include root, so headers are included by their path
# ("classlib/strings.h").
function(lantrove_library name)
  cmake_parse_arguments(ARG "" "EXCLUDE" "PUBLIC;PRIVATE" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(ARG_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${ARG_EXCLUDE}")
  endif()
  if(NOT sources)
    set(stub ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    # Written only when it changes, so configuring again rebuilds nothing.
    file(CONFIGURE OUTPUT ${stub} CONTENT "// ${name} has no sources yet\n")
    set(sources ${stub})
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
endfunction()
