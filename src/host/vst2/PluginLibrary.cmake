# qw_add_vst_plugin(NAME LIBS lib...)
# The plug-in library a host loads: NAME.so / NAME.dll at the root of the
# build tree, no "lib" prefix, exporting only VSTPluginMain and main. LIBS
# must define CreatePluginInstance (core/PluginFactory.h).
function(qw_add_vst_plugin name)
  cmake_parse_arguments(P "" "" "LIBS" ${ARGN})
  set(dir ${PROJECT_SOURCE_DIR}/src/host)
  add_library(${name} SHARED ${dir}/vst2/PluginMain.cpp)
  if(WIN32)
    target_sources(${name} PRIVATE ${dir}/win/DllMain.cpp ${dir}/vst2/exports.def)
  else()
    target_sources(${name} PRIVATE ${dir}/posix/ModuleLoad.cpp)
    target_link_libraries(${name} PRIVATE ${CMAKE_DL_LIBS})
    target_link_options(${name} PRIVATE -Wl,--no-undefined
      -Wl,--version-script=${dir}/vst2/exports.map)
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${dir}/vst2/exports.map)
  endif()
  target_link_libraries(${name} PRIVATE qw_host_vst2 ${P_LIBS})
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()
