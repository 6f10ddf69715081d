# cmake -DNM=nm "-DOBJECT=a.o;b.o" -DALLOWED=regex -P CheckIsolatedObject.cmake
# Fails when an object defines an external symbol other than those the
# regex allows: an inline or template function compiled for wider
# instructions could otherwise be chosen by the linker for every caller.
foreach(object IN LISTS OBJECT)
  execute_process(COMMAND ${NM} --defined-only --extern-only ${object}
                  OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${object}")
  endif()
  string(REPLACE "\n" ";" lines "${symbols}")
  set(count 0)
  foreach(line IN LISTS lines)
    if(line STREQUAL "")
      continue()
    endif()
    math(EXPR count "${count} + 1")
    if(NOT line MATCHES "${ALLOWED}")
      message(FATAL_ERROR "${object} shares a symbol: ${line}")
    endif()
  endforeach()
  if(count EQUAL 0)
    message(FATAL_ERROR "${object} defines no symbol at all")
  endif()
  message(STATUS "${object}: ${count} symbol(s), all its own")
endforeach()
