# Draws the editor images with the artwork generator into a scratch folder
# and compares every file with the committed one, byte for byte.
#   cmake -DGEN=<qw_gen_artwork> -DREF=<resources/img> -DOUT=<scratch folder> -P CheckArtwork.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${GEN} ${OUT} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the artwork generator failed (${rc}): ${err}")
endif()

file(GLOB drawn RELATIVE ${OUT} ${OUT}/*.png)
file(GLOB committed RELATIVE ${REF} ${REF}/*.png)
if(NOT drawn)
  message(FATAL_ERROR "the artwork generator wrote no images into ${OUT}")
endif()

set(problems "")
foreach(name IN LISTS drawn)
  if(NOT name IN_LIST committed)
    string(APPEND problems "  resources/img/${name} is drawn by the generator but not committed\n")
  else()
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${REF}/${name} ${OUT}/${name}
                    RESULT_VARIABLE differs)
    if(NOT differs EQUAL 0)
      string(APPEND problems "  resources/img/${name} differs from what the generator draws\n")
    endif()
  endif()
endforeach()
foreach(name IN LISTS committed)
  if(NOT name IN_LIST drawn)
    string(APPEND problems "  resources/img/${name} is committed but the generator does not draw it\n")
  endif()
endforeach()

if(problems)
  message(FATAL_ERROR "The committed images are not what the generator draws:\n${problems}"
          "Redraw them with: cmake --build build --target qw_artwork")
endif()
file(REMOVE_RECURSE ${OUT})
