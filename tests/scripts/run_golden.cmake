# Runs one golden transcript: cmake -DHOST=<tallykit> -DSCRIPT=<dir>/NAME.tks -P run_golden.cmake
#
# The script (with the folder lists/ beside it, when there is one) is copied
# into a scratch folder of its own (golden/NAME under the folder ctest runs in)
# and run there as `tallykit run NAME.tks`, so files it
# saves stay apart from other tests and diagnostics name it the same way on
# every machine. Then:
#   - standard output must equal NAME.out;
#   - standard error must equal NAME.err when that file exists;
#   - the exit status must be the one a line `# exit: N` in the script declares
#     (0 when it declares none).
# On a mismatch the differences are printed and the test fails.
cmake_minimum_required(VERSION 3.25)
if(NOT HOST OR NOT SCRIPT)
  message(FATAL_ERROR "usage: cmake -DHOST=<tallykit> -DSCRIPT=<NAME.tks> -P run_golden.cmake")
endif()

get_filename_component(name ${SCRIPT} NAME_WE)
get_filename_component(dir ${SCRIPT} DIRECTORY)
set(scratch ${CMAKE_CURRENT_BINARY_DIR}/golden/${name})
file(REMOVE_RECURSE ${scratch})
file(MAKE_DIRECTORY ${scratch})
file(COPY ${SCRIPT} DESTINATION ${scratch})
# The script sees a registry and drive root of its own, never the user's.
set(ENV{TALLYKIT_REGISTRY} ${scratch}/registry.txt)
set(ENV{TALLYKIT_DRIVE_ROOT} ${scratch}/drives)
# List files the scripts read by relative paths (lists/NAME) come along.
if(EXISTS ${dir}/lists)
  file(COPY ${dir}/lists DESTINATION ${scratch})
endif()

file(STRINGS ${SCRIPT} declared REGEX "^# exit: [0-9]+$")
set(expected_status 0)
if(declared)
  list(GET declared 0 declared)
  string(REGEX REPLACE "^# exit: " "" expected_status "${declared}")
endif()

execute_process(COMMAND ${HOST} run ${name}.tks
  WORKING_DIRECTORY ${scratch}
  OUTPUT_FILE ${scratch}/${name}.actual.out
  ERROR_FILE ${scratch}/${name}.actual.err
  RESULT_VARIABLE status
  TIMEOUT 60)

set(failed FALSE)
function(compare expected actual what)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${expected} ${actual}
    RESULT_VARIABLE different)
  if(different)
    message("${name}: ${what} differs from ${expected}:")
    execute_process(COMMAND diff -u ${expected} ${actual})
    set(failed TRUE PARENT_SCOPE)
  endif()
endfunction()

compare(${dir}/${name}.out ${scratch}/${name}.actual.out "standard output")
if(EXISTS ${dir}/${name}.err)
  compare(${dir}/${name}.err ${scratch}/${name}.actual.err "standard error")
endif()
if(NOT status STREQUAL expected_status)
  file(READ ${scratch}/${name}.actual.err stderr_text)
  message("${name}: exit status ${status}, expected ${expected_status}\n${stderr_text}")
  set(failed TRUE)
endif()
if(failed)
  message(FATAL_ERROR "${name}: golden transcript mismatch")
endif()
