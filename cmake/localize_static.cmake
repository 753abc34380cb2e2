# Run at build time (cmake -P) on the one object of libpbq.a built with yyjson inside:
# makes every strong global name local except the pbq_ functions, so that a host linking
# libpbq.a meets none of yyjson's names nor pbq's internal ones (a host's own
# yyjson_read_opts or store_free cannot clash with them). Weak names (C++ inline functions
# and templates in COMDAT groups) stay global: the linker merges them with a host's copies.
#   -DNM=nm -DOBJCOPY=objcopy -DOBJECT=libpbq.o
execute_process(COMMAND "${NM}" --defined-only --extern-only "${OBJECT}"
                OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${OBJECT}")
endif()
string(REPLACE "\n" ";" symbols "${symbols}")
set(private "")
foreach(line IN LISTS symbols)
  if(line MATCHES "^[0-9a-fA-F]* *[BDGRST] (.+)$")
    set(name "${CMAKE_MATCH_1}")
    if(NOT name MATCHES "^pbq_")
      string(APPEND private "${name}\n")
    endif()
  endif()
endforeach()
file(WRITE "${OBJECT}.private" "${private}")
execute_process(COMMAND "${OBJCOPY}" "--localize-symbols=${OBJECT}.private" "${OBJECT}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJCOPY} failed on ${OBJECT}")
endif()

# What is left global and strong: the pbq_ functions only, on every target.
execute_process(COMMAND "${NM}" --defined-only --extern-only "${OBJECT}"
                OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${OBJECT}")
endif()
string(REPLACE "\n" ";" symbols "${symbols}")
set(left "")
set(kept 0)
foreach(line IN LISTS symbols)
  if(line MATCHES "^[0-9a-fA-F]* *[BDGRST] (.+)$")
    if(CMAKE_MATCH_1 MATCHES "^pbq_")
      math(EXPR kept "${kept} + 1")
    else()
      string(APPEND left " ${CMAKE_MATCH_1}")
    endif()
  endif()
endforeach()
if(left OR kept EQUAL 0)
  file(REMOVE "${OBJECT}")
  message(FATAL_ERROR "${OBJECT}: after localizing, ${kept} pbq_ names and these others are global:${left}")
endif()
