# Fails when a file includes a header of a floor it may not use: every floor uses only
# itself and the floors below (ARCHITECTURE.md), importer and hand-over do not use each
# other, and only front ends and back-end tests see a back end. Run as
#   cmake -DSOURCE_DIR=<repository> [-DSTAMP=<file>] -P cmake/CheckLayers.cmake
# The build runs it before compiling (target tavrin_layers), so a climbing include stops
# the build with the file, the line and the rule it breaks.

# The floor a header belongs to, from its include path.
function(header_floor include out)
  if(include MATCHES "^platform/(posix|win32)/" OR include STREQUAL "platform/system_platform.h")
    set(floor backend)
  elseif(include STREQUAL "platform/system_crypto.h")
    set(floor crypto)
  elseif(include MATCHES "^(shared|platform|formats|importer|handover|app|cli|ui|fakes)/")
    set(floor ${CMAKE_MATCH_1})
    if(floor STREQUAL "cli")
      set(floor ui)
    endif()
  else()
    set(floor "")
  endif()
  set(${out} ${floor} PARENT_SCOPE)
endfunction()

# What each folder may include besides its own floor. Front ends (src/cli, src/ui), the
# whole-program tests, tools, benchmarks and fuzz targets drive the program and may use
# every floor; they are not listed.
set(allowed_shared shared)
set(allowed_platform platform shared)
set(allowed_backend backend platform shared)
set(allowed_formats formats platform shared)
set(allowed_importer importer formats platform shared)
set(allowed_handover handover formats platform shared)
set(allowed_app app importer handover formats platform shared)
set(allowed_fakes fakes platform shared)

# The floor whose rules a file keeps, from its folder; empty for files free to use all.
function(file_floor relative out)
  set(floor "")
  if(relative MATCHES "^src/platform/(posix|win32)/")
    set(floor backend)
  elseif(relative MATCHES "^src/platform/system_(platform|crypto)\\.h$")
    set(floor backend)
  elseif(relative MATCHES "^src/(shared|platform|formats|importer|handover|app)/")
    set(floor ${CMAKE_MATCH_1})
  elseif(relative MATCHES "^tests/platform/(posix|win32)/")
    set(floor test_backend)
  elseif(relative MATCHES "^tests/(shared|platform|formats|importer|handover|app|fakes)/")
    set(floor test_${CMAKE_MATCH_1})
  endif()
  set(${out} ${floor} PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}
     ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/tests/*.h ${SOURCE_DIR}/tests/*.cpp)
list(SORT files)
set(climbs 0)
foreach(relative IN LISTS files)
  file_floor(${relative} floor)
  if("${floor}" STREQUAL "")
    continue()
  endif()
  if(floor MATCHES "^test_(.*)$")
    # A test keeps the rules of the floor it tests, and may also use the fakes and the
    # system's crypto provider (for real digests).
    set(allowed ${allowed_${CMAKE_MATCH_1}} fakes crypto)
    if(CMAKE_MATCH_1 STREQUAL "fakes")
      set(allowed ${allowed_fakes})
    endif()
  else()
    set(allowed ${allowed_${floor}})
    if(relative MATCHES "^src/platform/system_crypto\\.h$")
      list(APPEND allowed crypto)
    endif()
  endif()
  file(STRINGS ${SOURCE_DIR}/${relative} lines REGEX "^[ \t]*#[ \t]*include[ \t]+\"")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([^\"]+)\".*$" "\\1" include "${line}")
    header_floor(${include} target)
    if("${target}" STREQUAL "")
      continue()
    endif()
    list(FIND allowed ${target} found)
    if(found EQUAL -1)
      message(SEND_ERROR "${relative}: #include \"${include}\": a ${floor} file may use "
                         "${allowed}, not ${target}")
      math(EXPR climbs "${climbs} + 1")
    endif()
  endforeach()
endforeach()

if(climbs GREATER 0)
  message(FATAL_ERROR "layering: ${climbs} include(s) climb a floor (see ARCHITECTURE.md)")
endif()
if(DEFINED STAMP)
  file(WRITE ${STAMP} "layering kept\n")
endif()
