# tavrik_library(NAME FOLDER SOURCES ... [PUBLIC_DEPS ...] [PRIVATE_DEPS ...] [USES family ...])
#
# One static library for one folder of the source tree. Sources include each other's headers as
# "<folder>/<file>.h"; a library's users find them through an include folder of its own in the
# build tree that holds only a link to FOLDER. So a file can include a header of another folder
# only when its library links that folder's library: the build refuses an include that goes
# against the layering instead of letting it slip in.
#
# The system's SDL2 and X11 headers would slip past those views through the compiler's own
# include path. tavrik_fence puts a stand-in for each of them, which stops the build with a
# message, in a folder per family; every library sees the stand-ins of the families it does not
# name in USES, ahead of the system's headers. A library names a family there only when it links
# its library (SDL2::SDL2, X11::X11), itself or through a library whose headers include it.

# tavrik_fence(FAMILY HEADER_DIR AS PREFIX ...)
# Stand-ins for every header below HEADER_DIR, each as <PREFIX>/<its path> (PREFIX "." for the
# path alone), in ${CMAKE_BINARY_DIR}/fence/FAMILY.
function(tavrik_fence family header_dir)
  cmake_parse_arguments(ARG "" "" "AS" ${ARGN})
  set(fence ${CMAKE_BINARY_DIR}/fence/${family})
  file(GLOB_RECURSE headers RELATIVE ${header_dir} ${header_dir}/*.h)
  foreach(header ${headers})
    foreach(prefix ${ARG_AS})
      if(prefix STREQUAL ".")
        set(name ${header})
      else()
        set(name ${prefix}/${header})
      endif()
      file(CONFIGURE OUTPUT ${fence}/${name} CONTENT
"// Stands in for <${name}> in the libraries that do not link ${family} (cmake/TavrikLibrary.cmake).
#error \"<${name}> is fenced off: only the libraries that link ${family} may include its headers\"
")
    endforeach()
  endforeach()
  set_property(GLOBAL APPEND PROPERTY TAVRIK_FENCES ${family})
endfunction()

function(tavrik_library name folder)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_DEPS;PRIVATE_DEPS;USES" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  set(view ${CMAKE_BINARY_DIR}/include/${name})
  file(MAKE_DIRECTORY ${view})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${view}/${folder} SYMBOLIC)
  target_include_directories(${name} PUBLIC ${view})
  get_property(fences GLOBAL PROPERTY TAVRIK_FENCES)
  foreach(family ${fences})
    if(NOT family IN_LIST ARG_USES)
      target_include_directories(${name} BEFORE PRIVATE ${CMAKE_BINARY_DIR}/fence/${family})
    endif()
  endforeach()
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  target_compile_options(${name} PRIVATE ${TAVRIK_WARNINGS})
endfunction()
