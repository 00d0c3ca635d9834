# Runs the demo in WORK_DIR: a fresh copy of the sources, kelvad on it with the stand-in
# assembler (in TORNA_DIR) reached through a wrapper that names each run before it starts,
# then a diff of what kelvad changed and one summary line. With README set to a file (the
# end-to-end test sets the project's README) it fails unless that file shows the summary line.
set(DEMO_FILES demo.qsm serial.inc)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/original ${WORK_DIR}/wrapper)
foreach(name ${DEMO_FILES})
  configure_file(${SOURCE_DIR}/${name} ${WORK_DIR}/${name} COPYONLY)
  configure_file(${SOURCE_DIR}/${name} ${WORK_DIR}/original/${name} COPYONLY)
endforeach()

# The wrapper is a shell script; where there is no shell (Windows), the stand-in itself
# is first in PATH and its runs are not named.
set(RUN_COUNT ${WORK_DIR}/wrapper/runs)
if(CMAKE_HOST_WIN32)
  set(ENV{PATH} "${TORNA_DIR};$ENV{PATH}")
else()
  file(WRITE ${WORK_DIR}/wrapper/torna
"#!/bin/sh
# Names the run it stands in for, then runs the stand-in assembler.
runs=$(cat '${RUN_COUNT}' 2>/dev/null || echo 0)
echo $((runs + 1)) > '${RUN_COUNT}'
if [ \"$runs\" = 0 ]; then
  echo \"== first run: torna $*\"
else
  echo \"== pass $runs: torna $*\"
fi
exec '${TORNA_DIR}/torna' \"$@\"
")
  file(CHMOD ${WORK_DIR}/wrapper/torna PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(ENV{PATH} "${WORK_DIR}/wrapper:$ENV{PATH}")
endif()

# Standard output and error go straight to the screen, so that the two newlines kelvad
# writes to standard error before each run stand in front of that run.
message("== kelvad demo.qsm   (in ${WORK_DIR})")
execute_process(COMMAND ${KELVAD} demo.qsm WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kelvad ended with status ${status}")
endif()

# The stand-in leaves its binary only after a run without errors: the last one must have been.
if(NOT EXISTS ${WORK_DIR}/demo.bin)
  message(FATAL_ERROR "the last run of the assembler reported errors: kelvad did not converge")
endif()

message("== what kelvad changed")
find_program(DIFF_PROGRAM diff)
set(changed_files 0)
set(rewritten_lines 0)
foreach(name ${DEMO_FILES})
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files original/${name} ${name}
    WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE same)
  if(same EQUAL 0)
    message("${name}: unchanged")
    continue()
  endif()
  math(EXPR changed_files "${changed_files} + 1")
  if(NOT DIFF_PROGRAM)
    message("${name}: changed (no diff program to show how; compare with original/${name})")
    continue()
  endif()
  execute_process(COMMAND ${DIFF_PROGRAM} -u --label original/${name} --label ${name}
      original/${name} ${name}
    WORKING_DIRECTORY ${WORK_DIR} OUTPUT_VARIABLE diff_text)
  string(REGEX REPLACE "\n$" "" diff_text "${diff_text}")
  message("${diff_text}")
  # Every line of the original that kelvad replaced is a "-" line of the diff; one more
  # begins the header "--- original/...". Only the starts are matched: a line may hold ";".
  string(REGEX MATCHALL "\n-" removed "\n${diff_text}")
  list(LENGTH removed count)
  math(EXPR rewritten_lines "${rewritten_lines} + ${count} - 1")
endforeach()

if(EXISTS ${RUN_COUNT})
  file(READ ${RUN_COUNT} runs)
  string(STRIP "${runs}" runs)
  math(EXPR passes "${runs} - 1")
  set(summary "${passes} passes (${runs} runs of torna), ${rewritten_lines} lines rewritten in ${changed_files} files")
  if(NOT DIFF_PROGRAM)
    set(summary "${passes} passes (${runs} runs of torna), ${changed_files} files changed")
  endif()
else()
  set(summary "${changed_files} files changed")
endif()
message("== ${summary}")
message("== the sources are in ${WORK_DIR}, the originals in ${WORK_DIR}/original")
if(DEFINED README)
  file(READ ${README} readme_text)
  string(FIND "${readme_text}" "== ${summary}\n" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "${README} does not show the summary line '== ${summary}'")
  endif()
endif()
