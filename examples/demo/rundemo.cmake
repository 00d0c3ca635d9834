# Runs the demo in WORK_DIR: a fresh copy of the sources, kelvad on it with the stand-in
# assembler (in TORNA_DIR) first in PATH, then a diff of what kelvad changed. With MIN_PASSES
# set (the end-to-end test does) it fails unless kelvad needed that many passes to converge.
set(DEMO_FILES demo.qsm serial.inc)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/original)
foreach(name ${DEMO_FILES})
  configure_file(${SOURCE_DIR}/${name} ${WORK_DIR}/${name} COPYONLY)
  configure_file(${SOURCE_DIR}/${name} ${WORK_DIR}/original/${name} COPYONLY)
endforeach()

if(CMAKE_HOST_WIN32)
  set(ENV{PATH} "${TORNA_DIR};$ENV{PATH}")
else()
  set(ENV{PATH} "${TORNA_DIR}:$ENV{PATH}")
endif()

message("== kelvad demo.qsm   (in ${WORK_DIR})")
execute_process(COMMAND ${KELVAD} demo.qsm WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE status
  OUTPUT_VARIABLE output)
message("${output}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kelvad ended with status ${status}")
endif()

if(DEFINED MIN_PASSES)
  # One summary line per assembler run; the first run comes before the passes.
  string(REGEX MATCHALL "[0-9]+ errors?, [0-9]+ bytes" summaries "${output}")
  list(LENGTH summaries runs)
  math(EXPR passes "${runs} - 1")
  list(GET summaries -1 last)
  if(passes LESS MIN_PASSES OR NOT last MATCHES "^0 errors")
    message(FATAL_ERROR "${passes} passes, the last run gave '${last}'; expected at least ${MIN_PASSES} and no errors")
  endif()
  message("== ${passes} passes")
endif()

message("== what kelvad changed")
find_program(DIFF_PROGRAM diff)
foreach(name ${DEMO_FILES})
  if(DIFF_PROGRAM)
    execute_process(COMMAND ${DIFF_PROGRAM} -u original/${name} ${name} WORKING_DIRECTORY ${WORK_DIR})
  else()
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files original/${name} ${name}
      WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE same)
    if(same EQUAL 0)
      message("${name}: unchanged")
    else()
      message("${name}: changed (no diff program to show how; compare with original/${name})")
    endif()
  endif()
endforeach()
message("== the sources are in ${WORK_DIR}, the originals in ${WORK_DIR}/original")
