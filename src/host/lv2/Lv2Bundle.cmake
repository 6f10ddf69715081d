# qw_add_lv2_bundle(NAME URI uri UI_URI uri LIBS lib... TTL_TOOL target)
# The LV2 bundle NAME.lv2/ at the root of the build tree: NAME.so (the audio
# instance, exporting only lv2_descriptor), NAME_ui.so (the X11 UI,
# exporting only lv2ui_descriptor), and the TTL files TTL_TOOL writes
# (TTL_TOOL OUTPUT_DIR DSP_BINARY UI_BINARY). LIBS must define
# CreatePluginInstance (core/PluginFactory.h).
function(qw_add_lv2_bundle name)
  cmake_parse_arguments(P "" "URI;UI_URI;TTL_TOOL" "LIBS" ${ARGN})
  set(dir ${PROJECT_SOURCE_DIR}/src/host)
  set(bundle ${CMAKE_BINARY_DIR}/${name}.lv2)
  foreach(part dsp ui)
    if(part STREQUAL "dsp")
      set(target ${name}_lv2)
      set(output ${name})
      set(entry ${dir}/lv2/Lv2Entry.cpp)
    else()
      set(target ${name}_lv2_ui)
      set(output ${name}_ui)
      set(entry ${dir}/lv2/Lv2UiEntry.cpp)
    endif()
    add_library(${target} SHARED ${entry} ${dir}/posix/ModuleLoad.cpp)
    target_compile_definitions(${target} PRIVATE QW_LV2_URI="${P_URI}" QW_LV2_UI_URI="${P_UI_URI}")
    target_link_libraries(${target} PRIVATE qw_host_lv2 ${P_LIBS} ${CMAKE_DL_LIBS})
    target_link_options(${target} PRIVATE -Wl,--no-undefined
      -Wl,--version-script=${dir}/lv2/exports-${part}.map)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${dir}/lv2/exports-${part}.map)
    set_target_properties(${target} PROPERTIES
      PREFIX ""
      OUTPUT_NAME ${output}
      CXX_VISIBILITY_PRESET hidden
      VISIBILITY_INLINES_HIDDEN ON
      LIBRARY_OUTPUT_DIRECTORY ${bundle})
  endforeach()
  add_custom_command(
    OUTPUT ${bundle}/manifest.ttl ${bundle}/${name}.ttl
    COMMAND ${CMAKE_COMMAND} -E make_directory ${bundle}
    COMMAND ${P_TTL_TOOL} ${bundle} ${name}.so ${name}_ui.so
    DEPENDS ${P_TTL_TOOL}
    COMMENT "Describing ${name}.lv2")
  add_custom_target(${name}_lv2_ttl ALL DEPENDS ${bundle}/manifest.ttl ${bundle}/${name}.ttl)
endfunction()
