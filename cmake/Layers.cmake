# Each source folder is one static library with a rank. A library may link only to
# libraries of a lower rank; vantor_add_layer stops the configuration when a library
# names a dependency of the same or a higher rank.
set(VANTOR_LAYER_RANK_platform 0)
set(VANTOR_LAYER_RANK_core 1)
set(VANTOR_LAYER_RANK_controls 2)
set(VANTOR_LAYER_RANK_app 3)
set(VANTOR_LAYER_RANK_browser 3)
set(VANTOR_LAYER_RANK_frames 3)
set(VANTOR_LAYER_RANK_editors 4)
set(VANTOR_LAYER_RANK_sqltools 4)
set(VANTOR_LAYER_RANK_analysis 4)
set(VANTOR_LAYER_RANK_transfer 4)

# vantor_add_layer(<folder> [DEPENDS <layer>...] [LIBS <external target>...])
# Builds every .cpp below the folder into the library vantor_<folder>.
function(vantor_add_layer name)
  cmake_parse_arguments(L "" "" "DEPENDS;LIBS" ${ARGN})
  set(rank ${VANTOR_LAYER_RANK_${name}})
  if("${rank}" STREQUAL "")
    message(FATAL_ERROR "layer '${name}' has no rank in cmake/Layers.cmake")
  endif()
  set(deps)
  foreach(dep IN LISTS L_DEPENDS)
    set(dep_rank ${VANTOR_LAYER_RANK_${dep}})
    if("${dep_rank}" STREQUAL "" OR NOT dep_rank LESS rank)
      message(FATAL_ERROR "layer '${name}' (rank ${rank}) may not link '${dep}' (rank ${dep_rank}): dependencies point downwards only")
    endif()
    list(APPEND deps vantor_${dep})
  endforeach()
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT srcs)
    # An empty folder still gets a library so that callers can link it.
    set(stub ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${stub} "// no units yet\n")
    set(srcs ${stub})
  endif()
  add_library(vantor_${name} STATIC ${srcs})
  # Make moc look again whenever a header is added or changed; without this an incremental
  # build can keep a stale "nothing to moc" result for a header that arrived by a merge.
  list(FILTER srcs INCLUDE REGEX "\\.h$")
  set_property(TARGET vantor_${name} APPEND PROPERTY AUTOGEN_TARGET_DEPENDS ${srcs})
  target_include_directories(vantor_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(vantor_${name} PUBLIC ${deps} ${L_LIBS})
  set_property(GLOBAL APPEND PROPERTY VANTOR_LAYERS vantor_${name})
endfunction()
