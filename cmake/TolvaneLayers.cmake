# Every library of src/ sees the headers of exactly the libraries it names.
#
# tolvane_library(NAME FOLDER <folder under src> SOURCES ... USES ...)
# makes a static library whose headers are reached as "<folder>/<file>.h"
# through an include root of its own. That root holds links to the headers
# of its folder and of nothing else (not even its subfolders).
#
# USES names every library, ours or outside, whose headers the library's
# files include, whether directly or through the headers of another library
# it includes. They are linked privately: their include roots reach this
# library and stop there, so a library above it sees only what it names
# itself, and an include of a folder it does not name fails to compile.
# Static libraries still carry what they link to the final program.
#
# The roots of every library are also collected in tolvane_all_layers, for
# the tests, benchmarks and fuzz targets, which sit above every layer.
# A fresh include root holding links to the headers of src/<folder> alone.
function(tolvane_header_root root folder)
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${folder})
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.h)
  foreach(header ${headers})
    get_filename_component(file ${header} NAME)
    file(CREATE_LINK ${header} ${root}/${folder}/${file} SYMBOLIC)
  endforeach()
endfunction()

function(tolvane_library name)
  cmake_parse_arguments(L "" "FOLDER" "SOURCES;USES" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  tolvane_header_root(${root} ${L_FOLDER})
  target_include_directories(${name} PUBLIC ${root})
  target_link_libraries(${name} PRIVATE ${L_USES})
  set_target_properties(${name} PROPERTIES LINKER_LANGUAGE CXX)
  set_property(GLOBAL APPEND PROPERTY TOLVANE_LAYER_ROOTS ${root})
endfunction()

# tolvane_private_headers(NAME FOLDER <folder under src>) lets the files of
# library NAME reach the headers of one of its subfolders (as
# "<folder>/<file>.h") through a root it does not hand on: those headers are
# the library's own business, and an include of them from anywhere else
# fails to compile.
function(tolvane_private_headers name)
  cmake_parse_arguments(P "" "FOLDER" "" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/layers/${name}_private)
  tolvane_header_root(${root} ${P_FOLDER})
  target_include_directories(${name} PRIVATE ${root})
  set_property(TARGET ${name} PROPERTY TOLVANE_PRIVATE_ROOT ${root})
endfunction()

# Every layer's include root, and the outside headers the layers' headers
# include; linked by what sits above all layers.
function(tolvane_all_layers)
  get_property(roots GLOBAL PROPERTY TOLVANE_LAYER_ROOTS)
  add_library(tolvane_all_layers INTERFACE)
  target_include_directories(tolvane_all_layers INTERFACE ${roots})
  target_link_libraries(tolvane_all_layers INTERFACE ${ARGN})
endfunction()
