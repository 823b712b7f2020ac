# tavrik_library(NAME FOLDER SOURCES ... [PUBLIC_DEPS ...] [PRIVATE_DEPS ...])
#
# One static library for one folder of the source tree. Sources include each other's headers as
# "<folder>/<file>.h"; a library's users find them through an include folder of its own in the
# build tree that holds only a link to FOLDER. So a file can include a header of another folder
# only when its library links that folder's library: the build refuses an include that goes
# against the layering instead of letting it slip in.
function(tavrik_library name folder)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  set(view ${CMAKE_BINARY_DIR}/include/${name})
  file(MAKE_DIRECTORY ${view})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${view}/${folder} SYMBOLIC)
  target_include_directories(${name} PUBLIC ${view})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  target_compile_options(${name} PRIVATE ${TAVRIK_WARNINGS})
endfunction()
