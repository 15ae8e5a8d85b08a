# Runs the program on one example in a fresh scratch directory and compares
# its result file byte for byte with the example's kept temperat.txt.
#   cmake -DPROGRAM=... -DEXAMPLE_DIR=... -DSCRATCH_DIR=... -P run_example.cmake

foreach(variable PROGRAM EXAMPLE_DIR SCRATCH_DIR)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "run_example.cmake needs -D${variable}=...")
  endif()
endforeach()

set(kept ${EXAMPLE_DIR}/temperat.txt)
if(NOT EXISTS ${kept})
  message(FATAL_ERROR "no kept result ${kept}")
endif()

file(REMOVE_RECURSE ${SCRATCH_DIR})
file(MAKE_DIRECTORY ${SCRATCH_DIR})
file(COPY ${EXAMPLE_DIR}/DataInpTemp1d.txt DESTINATION ${SCRATCH_DIR})

execute_process(COMMAND ${PROGRAM}
                WORKING_DIRECTORY ${SCRATCH_DIR}
                RESULT_VARIABLE status
                OUTPUT_VARIABLE standard_output
                ERROR_VARIABLE standard_error)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "temp1d ended with status ${status}\n${standard_output}${standard_error}")
endif()
if(NOT standard_output STREQUAL "" OR NOT standard_error STREQUAL "")
  message(FATAL_ERROR "a normal run prints nothing, this one printed:\n${standard_output}${standard_error}")
endif()

set(produced ${SCRATCH_DIR}/temperat.txt)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${produced} ${kept}
                RESULT_VARIABLE different)
if(different)
  # Name the first line that differs, to make the failure readable.
  file(STRINGS ${produced} produced_lines)
  file(STRINGS ${kept} kept_lines)
  list(LENGTH produced_lines produced_count)
  list(LENGTH kept_lines kept_count)
  set(line 0)
  while(line LESS produced_count AND line LESS kept_count)
    list(GET produced_lines ${line} a)
    list(GET kept_lines ${line} b)
    if(NOT a STREQUAL b)
      break()
    endif()
    math(EXPR line "${line} + 1")
  endwhile()
  math(EXPR shown "${line} + 1")
  message(FATAL_ERROR "${produced} differs from ${kept} (${produced_count} and ${kept_count} lines); "
                      "first difference on line ${shown}")
endif()
file(REMOVE_RECURSE ${SCRATCH_DIR})
