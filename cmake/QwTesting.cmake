# GoogleTest comes from Debian's package natively; for the Windows build the
# same sources under /usr/src/googletest are compiled with the cross compiler.
if(WIN32)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()

# qw_add_test(name SOURCES a.cpp b.cpp LIBS lib1 lib2)
# One CTest test per program; under the Windows toolchain CTest runs it
# through the cross-compiling emulator (Wine).
function(qw_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gtest)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()

# qw_add_windowed_test(name SOURCES a.cpp LIBS lib1)
# A Windows test program that opens windows: CTest runs it under Wine on a
# private Xvfb display (cmake/RunWindowed.sh).
function(qw_add_windowed_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gtest)
  add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/cmake/RunWindowed.sh $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE)
endfunction()
