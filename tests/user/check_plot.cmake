# The chart tool: well-formed SVG with the three curves, labelled axes and
# the phases; gaps where a field holds no number; the forms a duration can
# take on line 10 of a parameter file; and its failures.
#   cmake -DTOOL=... -DPROGRAM=... -DXMLLINT=... -DSOURCE_DIR=... -DDATA_DIR=... -DSCRATCH_DIR=... -DVERSION=...
#         -P check_plot.cmake
# PROGRAM is the temp1d whose --check report gives the tool the phases.

foreach(variable TOOL PROGRAM XMLLINT SOURCE_DIR DATA_DIR SCRATCH_DIR VERSION)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "check_plot.cmake needs -D${variable}=...")
  endif()
endforeach()

file(REMOVE_RECURSE ${SCRATCH_DIR})
file(MAKE_DIRECTORY ${SCRATCH_DIR})
# Every failed check is reported and the script goes on; any report makes
# the script, and so the test, fail.
macro(fail text)
  message(SEND_ERROR "${text}")
endmacro()

# Runs the tool with the given arguments; sets status, tool_output and
# tool_error.
function(run_tool)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TEMP1D=${PROGRAM} ${TOOL} ${ARGN}
                  WORKING_DIRECTORY ${SCRATCH_DIR}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(status "${result}" PARENT_SCOPE)
  set(tool_output "${out}" PARENT_SCOPE)
  set(tool_error "${err}" PARENT_SCOPE)
endfunction()

# Reads a chart that must have been written and be well-formed XML.
function(read_chart chart_file)
  if(NOT EXISTS ${chart_file})
    fail("${chart_file} was not written")
    set(chart "" PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND ${XMLLINT} --noout ${chart_file} RESULT_VARIABLE result ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    fail("${chart_file} is not well-formed XML:\n${err}")
  endif()
  file(READ ${chart_file} text)
  set(chart "${text}" PARENT_SCOPE)
endfunction()

function(expect_in text wanted what)
  string(FIND "${text}" "${wanted}" at)
  if(at EQUAL -1)
    fail("${what}: \"${wanted}\" not found")
  endif()
endfunction()

function(expect_not_in text unwanted what)
  string(FIND "${text}" "${unwanted}" at)
  if(NOT at EQUAL -1)
    fail("${what}: \"${unwanted}\" should not be there")
  endif()
endfunction()

# The switch time that "temp1d --check --json" gives for a parameter file,
# as the exact text of the report.
function(reported_switch_time parameter_file)
  file(REMOVE_RECURSE ${SCRATCH_DIR}/check)
  file(MAKE_DIRECTORY ${SCRATCH_DIR}/check)
  file(COPY_FILE ${parameter_file} ${SCRATCH_DIR}/check/DataInpTemp1d.txt)
  execute_process(COMMAND ${PROGRAM} --check --json -C ${SCRATCH_DIR}/check OUTPUT_VARIABLE report)
  string(REGEX MATCH "\"switch_time\": ([^,\n]*)" match "${report}")
  set(switch_time "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

# The d attribute of the path of one series.
function(series_path chart series)
  string(REGEX MATCH "<path class=\"series ${series}\" d=\"([^\"]*)\"" match "${chart}")
  set(path "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

function(expect_segments chart series count)
  series_path("${chart}" ${series})
  string(REGEX MATCHALL "M" moves "${path}")
  list(LENGTH moves found)
  if(NOT found EQUAL count)
    fail("series ${series}: ${found} pieces instead of ${count}: ${path}")
  endif()
endfunction()

# --- A shipped example with its parameter file.
set(example ${SOURCE_DIR}/examples/steel-bar-water-quench)
run_tool(${example}/temperat.txt quench.svg ${example}/DataInpTemp1d.txt)
if(NOT status EQUAL 0 OR NOT tool_error STREQUAL "")
  fail("example: status ${status}, ${tool_error}")
endif()
read_chart(${SCRATCH_DIR}/quench.svg)
# The switch is the start of the first step with the phase-2 medium, a
# little after the 60 s of phase 1.
reported_switch_time(${example}/DataInpTemp1d.txt)
expect_in("${switch_time}" "60.0" "switch time of the example")
foreach(wanted "<svg xmlns=\"http://www.w3.org/2000/svg\"" "Time, s" "Temperature and difference, degrees"
               "tc (centre)" "tpov (surface)" "|tc - tpov|" "phase 1, medium 20" "phase 2, medium 20"
               "data-switch-time=\"${switch_time}\"" "dTmax = 679.27" "753 records")
  expect_in("${chart}" "${wanted}" "example chart")
endforeach()
foreach(series tc tpov difference)
  expect_segments("${chart}" ${series} 1)
endforeach()
# The first tc point is 850 at time 0: the left edge of the plot, at the
# height of 850 on an axis from 0 to 900 (414 pixels from y 96 to 510).
series_path("${chart}" tc)
expect_in("${path}" "M88.00,119.00 " "example tc starts at (0, 850)")

# Without the parameter file: no phases, nothing on standard error.
run_tool(${example}/temperat.txt no-phases.svg)
read_chart(${SCRATCH_DIR}/no-phases.svg)
expect_not_in("${chart}" "phase 1" "chart without parameter file")
expect_not_in("${chart}" "class=\"switch\"" "chart without parameter file")
if(NOT status EQUAL 0 OR NOT tool_error STREQUAL "")
  fail("without parameter file: status ${status}, ${tool_error}")
endif()

# Standard output as the chart.
run_tool(${example}/temperat.txt -)
expect_in("${tool_output}" "</svg>" "chart on standard output")
file(WRITE ${SCRATCH_DIR}/stdout.svg "${tool_output}")
read_chart(${SCRATCH_DIR}/stdout.svg)

# --- Fields without a number: asterisks, NaN, Infinity; a record without a
# time.  Each curve has a gap wherever its value is missing.
file(WRITE ${SCRATCH_DIR}/switch-at-3.txt "title\n0\n0.05\n1\n2\n3 4\n5\n6\n7\n3D0, 5  phases\n")
run_tool(${DATA_DIR}/gaps-temperat.txt gaps.svg switch-at-3.txt)
if(NOT status EQUAL 0)
  fail("gaps: status ${status}, ${tool_error}")
endif()
read_chart(${SCRATCH_DIR}/gaps.svg)
expect_segments("${chart}" tc 3)
expect_segments("${chart}" tpov 3)
expect_segments("${chart}" difference 2)
series_path("${chart}" tc)
expect_in("${path}" "h0.01" "a lone tc point is drawn as a dot")
reported_switch_time(${SCRATCH_DIR}/switch-at-3.txt)
foreach(wanted "9 records" "1 without a time left out" "6 values without a number left out"
               "dTmax = 57.00" "data-switch-time=\"${switch_time}\"" "phase 1, medium 3" "phase 2, medium 4")
  expect_in("${chart}" "${wanted}" "gaps chart")
endforeach()
foreach(unwanted "nan" "inf" "NaN")
  expect_not_in("${chart}" "${unwanted}" "gaps chart")
endforeach()

# --- The forms the first duration can take on line 10.
foreach(case "2*4.5 7|4.5" "1.5+0, 9|1.5" "6.0q-1/|never" ",5|0" "/|0" "F 8|0" ".True. 8|-1")
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 line10)
  list(GET parts 1 expected)
  file(WRITE ${SCRATCH_DIR}/form.txt "title\r\n0\r\n0.05\r\n1\r\n2\r\n3 4\r\n5\r\n6\r\n7\r\n${line10}\r\n")
  run_tool(${DATA_DIR}/gaps-temperat.txt form.svg form.txt)
  read_chart(${SCRATCH_DIR}/form.svg)
  if(expected STREQUAL "never")
    # Phase 2 has no length: no step has its medium.
    expect_in("${chart}" "phase 1 throughout" "line 10 \"${line10}\"")
  elseif(expected GREATER 0)
    reported_switch_time(${SCRATCH_DIR}/form.txt)
    expect_in("${switch_time}" "${expected}" "line 10 \"${line10}\"")
    expect_in("${chart}" "data-switch-time=\"${switch_time}\"" "line 10 \"${line10}\"")
  else()
    # At or before the first record: the whole run is the second phase.
    expect_in("${chart}" "phase 2 throughout" "line 10 \"${line10}\"")
  endif()
endforeach()

# A parameter file whose line 10 holds no number, or that has no line 10:
# the chart is drawn without phases and the user is told why.
foreach(content "title\n0\n0.05\n1\n2\n3 4\n5\n6\n7\nabc 5\n" "title\n0\n0.05\n")
  file(WRITE ${SCRATCH_DIR}/bad.txt "${content}")
  run_tool(${DATA_DIR}/gaps-temperat.txt bad.svg bad.txt)
  read_chart(${SCRATCH_DIR}/bad.svg)
  expect_not_in("${chart}" "phase 1" "unreadable line 10")
  expect_not_in("${chart}" "phase 2" "unreadable line 10")
  expect_in("${tool_error}" "phases not marked" "unreadable line 10")
  if(NOT status EQUAL 0)
    fail("unreadable line 10: status ${status}")
  endif()
endforeach()

# A line 6 with one value moves the durations to line 11: the phases are
# still those the program reads (phase 1 of 3 s, not the 7 on line 10).
file(WRITE ${SCRATCH_DIR}/shifted.txt "title\n0\n0.05\n1\n2\n3\n4\n5\n6\n7\n3 5\n")
run_tool(${DATA_DIR}/gaps-temperat.txt shifted.svg shifted.txt)
read_chart(${SCRATCH_DIR}/shifted.svg)
reported_switch_time(${SCRATCH_DIR}/shifted.txt)
expect_in("${switch_time}" "3.0" "shifted values")
expect_in("${chart}" "data-switch-time=\"${switch_time}\"" "shifted values")
expect_in("${chart}" "phase 2, medium 4" "shifted values")

# Without a temp1d to ask, the chart is drawn without phases and the user is
# told why.
execute_process(COMMAND ${CMAKE_COMMAND} -E env TEMP1D=${SCRATCH_DIR}/no-such-program
                        ${TOOL} ${DATA_DIR}/gaps-temperat.txt nophases.svg shifted.txt
                WORKING_DIRECTORY ${SCRATCH_DIR} RESULT_VARIABLE status ERROR_VARIABLE tool_error)
read_chart(${SCRATCH_DIR}/nophases.svg)
expect_not_in("${chart}" "phase 1" "no program")
if(NOT status EQUAL 0 OR NOT tool_error MATCHES "phases not marked")
  fail("no program: status ${status}, ${tool_error}")
endif()

# A long path in the title is shortened from the left.
set(deep ${SCRATCH_DIR}/a-rather-long-folder-name/another-long-folder-name/and-one-more-folder-name)
file(MAKE_DIRECTORY ${deep})
file(COPY_FILE ${DATA_DIR}/gaps-temperat.txt ${deep}/temperat.txt)
run_tool(${deep}/temperat.txt long-title.svg)
read_chart(${SCRATCH_DIR}/long-title.svg)
string(REGEX MATCH "class=\"title\">temp1d: ([^<]*)<" match "${chart}")
string(LENGTH "${CMAKE_MATCH_1}" title_length)
if(NOT title_length EQUAL 80 OR NOT CMAKE_MATCH_1 MATCHES "^\\.\\.\\..*/and-one-more-folder-name/temperat.txt$")
  fail("long title: ${CMAKE_MATCH_1}")
endif()

# --- A result file without records, from a run that took no step.
file(WRITE ${SCRATCH_DIR}/empty.txt " Time,s              tc               tpov\r\n")
run_tool(empty.txt empty.svg)
read_chart(${SCRATCH_DIR}/empty.svg)
expect_in("${chart}" "no records to plot" "empty result")
expect_in("${chart}" "no dTmax line" "empty result")

# --- A long run is thinned: a monotone stretch keeps about two points per
# half pixel (the plot is 780 pixels wide), not one per record.
set(long_run ${SOURCE_DIR}/examples/furnace-heating-then-air/temperat.txt)
run_tool(${long_run} long.svg)
read_chart(${SCRATCH_DIR}/long.svg)
series_path("${chart}" tc)
string(REGEX MATCHALL "[ML][0-9]" points "${path}")
list(LENGTH points point_count)
if(point_count GREATER 3500 OR point_count LESS 1000)
  fail("long run: ${point_count} tc points for 7839 records")
endif()

# --- Help on standard output; failures: usage, unreadable input; no chart
# is left behind.
run_tool(--help)
if(NOT status EQUAL 0 OR NOT tool_output MATCHES "^usage: temp1d-plot" OR NOT tool_error STREQUAL "")
  fail("--help: status ${status}, ${tool_output}, ${tool_error}")
endif()
run_tool()
if(NOT status EQUAL 2 OR NOT tool_error MATCHES "usage: temp1d-plot" OR NOT tool_output STREQUAL "")
  fail("no arguments: status ${status}, ${tool_error}")
endif()
run_tool(missing.txt missing.svg)
if(NOT status EQUAL 2 OR NOT tool_error STREQUAL "temp1d-plot: cannot read the result file missing.txt\n")
  fail("missing result file: status ${status}, ${tool_error}")
endif()
if(EXISTS ${SCRATCH_DIR}/missing.svg)
  fail("a chart was written for a missing result file")
endif()
run_tool(${example}/temperat.txt param-missing.svg missing-parameters.txt)
if(NOT status EQUAL 2 OR NOT tool_error STREQUAL "temp1d-plot: cannot read the parameter file missing-parameters.txt\n")
  fail("missing parameter file: status ${status}, ${tool_error}")
endif()
run_tool(${example}/temperat.txt no-such-directory/chart.svg)
if(NOT status EQUAL 3 OR NOT tool_error MATCHES "^temp1d-plot: could not write the chart no-such-directory/chart.svg")
  fail("unwritable chart: status ${status}, ${tool_error}")
endif()

# --- Version and the end of the options.
run_tool(--version)
if(NOT status EQUAL 0 OR NOT tool_output STREQUAL "temp1d-plot ${VERSION}\n")
  fail("--version: status ${status}, ${tool_output}")
endif()
file(COPY_FILE ${DATA_DIR}/gaps-temperat.txt ${SCRATCH_DIR}/-dash.txt)
run_tool(-dash.txt dash.svg)
if(NOT status EQUAL 2 OR NOT tool_error MATCHES "^temp1d-plot: unknown option -dash.txt\n")
  fail("an option that is not one: status ${status}, ${tool_error}")
endif()
run_tool(-- -dash.txt dash.svg)
if(NOT status EQUAL 0)
  fail("a result file after --: status ${status}, ${tool_error}")
endif()
read_chart(${SCRATCH_DIR}/dash.svg)

# --- Targets and inputs the tool refuses: one line, status 2, and every file
# as it was.  The inputs of a run in a folder of its own; each case is the
# result file, the chart, the expected message (a pattern: "." stands for
# the semicolon, which would split the case) and the parameter file.
set(run_dir ${SCRATCH_DIR}/refusals)
file(MAKE_DIRECTORY ${run_dir})
file(COPY_FILE ${example}/temperat.txt ${run_dir}/temperat.txt)
file(COPY_FILE ${example}/DataInpTemp1d.txt ${run_dir}/DataInpTemp1d.txt)
file(WRITE ${run_dir}/notes.svg "<svg>drawn by hand</svg>\n")
file(WRITE ${run_dir}/victim.txt "not to be replaced\n")
file(CREATE_LINK victim.txt ${run_dir}/link.svg SYMBOLIC)
file(CREATE_LINK ${run_dir}/temperat.txt ${run_dir}/hard.svg)
file(MAKE_DIRECTORY ${run_dir}/sub)
file(MAKE_DIRECTORY ${run_dir}/folder.svg)
# A named pipe stands for a device: a tool that wrote into it and removed it
# on the failure would remove the machine's device the same way.
execute_process(COMMAND mkfifo ${run_dir}/pipe.svg)
function(run_in_folder)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TEMP1D=${PROGRAM} ${TOOL} ${ARGN}
                  WORKING_DIRECTORY ${run_dir} TIMEOUT 60
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(status "${result}" PARENT_SCOPE)
  set(tool_output "${out}" PARENT_SCOPE)
  set(tool_error "${err}" PARENT_SCOPE)
endfunction()
function(folder_state variable)
  file(GLOB entries LIST_DIRECTORIES true RELATIVE ${run_dir} ${run_dir}/* ${run_dir}/.*)
  list(SORT entries)
  set(state "${entries}")
  foreach(name temperat.txt DataInpTemp1d.txt notes.svg victim.txt)
    file(SHA256 ${run_dir}/${name} hash)
    string(APPEND state ";${name}=${hash}")
  endforeach()
  set(${variable} "${state}" PARENT_SCOPE)
endfunction()
foreach(case
    "temperat.txt|DataInpTemp1d.txt|DataInpTemp1d.txt exists and is not a chart of temp1d-plot"
    "DataInpTemp1d.txt|temperat.txt|DataInpTemp1d.txt is not a temp1d result file"
    "temperat.txt|temperat.txt|temperat.txt is the result file temperat.txt. a chart never replaces an input"
    "temperat.txt|hard.svg|hard.svg is the result file temperat.txt"
    "temperat.txt|./sub/../DataInpTemp1d.txt|is the parameter file DataInpTemp1d.txt. a chart never replaces an input|DataInpTemp1d.txt"
    "temperat.txt|notes.svg|notes.svg exists and is not a chart of temp1d-plot. not replaced"
    "temperat.txt|link.svg|link.svg is a symbolic link"
    "temperat.txt|folder.svg|folder.svg is not a regular file"
    "temperat.txt|pipe.svg|pipe.svg is not a regular file")
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 first)
  list(GET parts 1 second)
  list(GET parts 2 wanted)
  list(LENGTH parts fields)
  set(third "")
  if(fields EQUAL 4)
    list(GET parts 3 third)
  endif()
  folder_state(before)
  run_in_folder(${first} ${second} ${third})
  folder_state(after)
  string(REGEX MATCHALL "\n" line_ends "${tool_error}")
  list(LENGTH line_ends lines)
  if(NOT status EQUAL 2 OR NOT lines EQUAL 1 OR NOT tool_error MATCHES "^temp1d-plot: .*${wanted}")
    fail("temp1d-plot ${first} ${second}: status ${status}, ${tool_error}")
  endif()
  if(NOT before STREQUAL after)
    fail("temp1d-plot ${first} ${second} changed the folder:\n${before}\n${after}")
  endif()
endforeach()

# A chart the tool drew is replaced, through a temporary file that is
# renamed; a chart that cannot be written leaves the old one whole and
# nothing else (a file size limit stops the writing).
run_in_folder(temperat.txt chart.svg)
read_chart(${run_dir}/chart.svg)
expect_in("${chart}" "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- chart drawn by temp1d-plot -->\n" "marker")
run_in_folder(temperat.txt chart.svg DataInpTemp1d.txt)
if(NOT status EQUAL 0)
  fail("replacing a chart: status ${status}, ${tool_error}")
endif()
file(SHA256 ${run_dir}/chart.svg chart_before)
folder_state(before)
execute_process(COMMAND sh -c "ulimit -f 1; exec \"$0\" \"$@\"" ${TOOL} temperat.txt chart.svg
                WORKING_DIRECTORY ${run_dir} TIMEOUT 60 RESULT_VARIABLE status ERROR_VARIABLE tool_error)
folder_state(after)
file(SHA256 ${run_dir}/chart.svg chart_after)
if(NOT status EQUAL 3 OR NOT tool_error STREQUAL "temp1d-plot: could not write the chart chart.svg\n")
  fail("a chart over the file size limit: status ${status}, ${tool_error}")
endif()
if(NOT chart_before STREQUAL chart_after OR NOT before STREQUAL after)
  fail("a chart that could not be written changed the folder:\n${before}\n${after}")
endif()
execute_process(COMMAND sh -c "exec \"$0\" \"$@\" >/dev/full" ${TOOL} temperat.txt -
                WORKING_DIRECTORY ${run_dir} TIMEOUT 60 RESULT_VARIABLE status ERROR_VARIABLE tool_error)
if(NOT status EQUAL 3 OR NOT tool_error STREQUAL "temp1d-plot: could not write the chart to standard output\n")
  fail("a chart on a full standard output: status ${status}, ${tool_error}")
endif()

# --- INT, TERM and HUP while the tool waits for temp1d.
execute_process(COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/plot_signals.sh ${TOOL} ${example}/temperat.txt
                        ${example}/DataInpTemp1d.txt ${SCRATCH_DIR}/signals
                TIMEOUT 600 RESULT_VARIABLE status OUTPUT_VARIABLE signal_report ERROR_VARIABLE signal_errors)
if(NOT status EQUAL 0)
  fail("signals: status ${status}\n${signal_report}${signal_errors}")
endif()

file(REMOVE_RECURSE ${SCRATCH_DIR})
