# qw_add_vst3_bundle(NAME CLASS_ID "w1, w2, w3, w4" SUBCATEGORIES text LIBS lib...)
# The VST 3 bundle NAME.vst3/ at the root of the build tree, with the
# module for this platform: Contents/x86_64-linux/NAME.so or
# Contents/x86_64-win/NAME.vst3, exporting only the module's entry points.
# LIBS must define CreatePluginInstance (core/PluginFactory.h).
function(qw_add_vst3_bundle name)
  cmake_parse_arguments(P "" "CLASS_ID;SUBCATEGORIES" "LIBS" ${ARGN})
  set(dir ${PROJECT_SOURCE_DIR}/src/host)
  set(target ${name}_vst3)
  add_library(${target} SHARED ${dir}/vst3/Vst3Entry.cpp ${dir}/vst3/Vst3Factory.cpp)
  target_compile_definitions(${target} PRIVATE
    "QW_VST3_CLASS_ID=${P_CLASS_ID}" "QW_VST3_SUBCATEGORIES=\"${P_SUBCATEGORIES}\"")
  target_link_libraries(${target} PRIVATE qw_host_vst3 ${P_LIBS})
  if(WIN32)
    target_sources(${target} PRIVATE ${dir}/win/DllMain.cpp ${dir}/vst3/exports.def)
    set(contents ${CMAKE_BINARY_DIR}/${name}.vst3/Contents/x86_64-win)
    # Its import library would clash with the VST 2.4 library's of the same name.
    set_target_properties(${target} PROPERTIES SUFFIX ".vst3" RUNTIME_OUTPUT_DIRECTORY ${contents}
      ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${target}-import)
  else()
    target_sources(${target} PRIVATE ${dir}/posix/ModuleLoad.cpp)
    target_link_libraries(${target} PRIVATE ${CMAKE_DL_LIBS})
    target_link_options(${target} PRIVATE -Wl,--no-undefined
      -Wl,--version-script=${dir}/vst3/exports.map)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${dir}/vst3/exports.map)
    set(contents ${CMAKE_BINARY_DIR}/${name}.vst3/Contents/x86_64-linux)
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${contents})
  endif()
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    OUTPUT_NAME ${name}
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
endfunction()
