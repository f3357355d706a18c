# The layers of src/: one static library per folder, each on a floor.
#
#   quillet_layer(<target> FLOOR <n> [LAYERS <quillet libraries>...]
#                 [PUBLIC_LIBS <libraries>...] [PRIVATE_LIBS <libraries>...]
#                 SOURCES <files>...)
#
# A library links only layers on lower floors (or, for the engine, the seam of
# its own folder it implements); configuring fails otherwise. It hands on only
# its own headers: each header in SOURCES gets a forwarding header under
# <build>/layers/<target>/<folder>/, and that is the one include directory the
# library gives to whoever links it. So "#include "folder/File.h"" of a folder
# the library does not stand on fails the build.
function(quillet_layer target)
  cmake_parse_arguments(L "" "FLOOR" "LAYERS;PUBLIC_LIBS;PRIVATE_LIBS;SOURCES" ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  foreach(layer IN LISTS L_LAYERS)
    # Layers are added from the ground up: one not there yet stands higher.
    if(NOT TARGET ${layer})
      message(FATAL_ERROR "${target} (floor ${L_FLOOR}) links ${layer}, which is not below it")
    endif()
    get_target_property(floor ${layer} QUILLET_FLOOR)
    get_target_property(layerFolder ${layer} QUILLET_FOLDER)
    if(NOT floor OR (NOT floor LESS L_FLOOR AND NOT layerFolder STREQUAL folder))
      message(FATAL_ERROR "${target} (floor ${L_FLOOR}) links ${layer} (floor ${floor}): "
                          "a layer links only layers on lower floors")
    endif()
  endforeach()

  add_library(${target} STATIC ${L_SOURCES})
  set_target_properties(${target} PROPERTIES QUILLET_FLOOR ${L_FLOOR} QUILLET_FOLDER ${folder})
  target_link_libraries(${target} PUBLIC ${L_LAYERS} ${L_PUBLIC_LIBS} PRIVATE ${L_PRIVATE_LIBS})

  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  set(wanted)
  foreach(source IN LISTS L_SOURCES)
    if(source MATCHES "\\.h$")
      file(CONFIGURE OUTPUT ${root}/${folder}/${source} CONTENT "#include \"${CMAKE_CURRENT_SOURCE_DIR}/${source}\"\n")
      list(APPEND wanted ${root}/${folder}/${source})
    endif()
  endforeach()
  # A header taken out of the library must stop being reachable at once.
  file(GLOB present ${root}/${folder}/*.h)
  foreach(header IN LISTS present)
    if(NOT header IN_LIST wanted)
      file(REMOVE ${header})
    endif()
  endforeach()
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# The include directory of a layer, for an executable that compiles one of
# its sources without linking the whole layer.
function(quillet_layer_headers target layer)
  target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/layers/${layer})
endfunction()
