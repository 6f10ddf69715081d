# The effect class the entry point builds, on top of the adapter.
add_library(qw_effect STATIC ${PROJECT_SOURCE_DIR}/src/dsp/Quillwave.cpp)
target_include_directories(qw_effect PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(qw_effect PUBLIC qw_host qw_core)
if(TARGET qw_dsp)
  target_link_libraries(qw_effect PUBLIC qw_dsp)
endif()
set_target_properties(qw_effect PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)

# The plug-in library a host loads: Quillwave.so / Quillwave.dll at the root
# of the build tree, no "lib" prefix, exporting only VSTPluginMain and main.
add_library(Quillwave SHARED
  ${PROJECT_SOURCE_DIR}/src/host/PluginMain.cpp)
if(WIN32)
  target_sources(Quillwave PRIVATE
    ${PROJECT_SOURCE_DIR}/src/host/win/DllMain.cpp
    ${PROJECT_SOURCE_DIR}/src/host/win/Quillwave.def)
else()
  target_sources(Quillwave PRIVATE ${PROJECT_SOURCE_DIR}/src/host/posix/ModuleLoad.cpp)
  target_link_libraries(Quillwave PRIVATE ${CMAKE_DL_LIBS})
  target_link_options(Quillwave PRIVATE -Wl,--no-undefined
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/src/host/posix/exports.map)
  set_property(TARGET Quillwave APPEND PROPERTY
    LINK_DEPENDS ${PROJECT_SOURCE_DIR}/src/host/posix/exports.map)
endif()
# The editor's images travel inside the library.
target_link_libraries(Quillwave PRIVATE qw_effect qw_resources)
set_target_properties(Quillwave PROPERTIES
  PREFIX ""
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
