# Runs marlowin-collect on a copy of the bundled sample shoot and compares the resulting
# tree, name by name, with the expected one. Called by CTest with -D settings:
# PROGRAM, EMULATOR (empty for a native program), SAMPLE, WORK, EXPECTED, WINDOWS_PATHS.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/D)
file(COPY ${SAMPLE}/ DESTINATION ${WORK}/S)

set(start ${WORK}/S)
set(destination ${WORK}/D)
if(WINDOWS_PATHS)
  # Wine shows the host's root folder as drive Z:.
  string(REPLACE "/" "\\" start "Z:${start}")
  string(REPLACE "/" "\\" destination "Z:${destination}")
endif()

# The report goes into records of the run's own (under Wine into the throw-away prefix).
execute_process(COMMAND ${CMAKE_COMMAND} -E env XDG_STATE_HOME=${WORK}/records ${EMULATOR} ${PROGRAM} ${start} ${destination}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT out MATCHES "^video copy complete\n")
  message(FATAL_ERROR "marlowin-collect: status ${status}, output '${out}', errors '${err}'")
endif()

if(NOT WINDOWS_PATHS)
  file(GLOB reports ${WORK}/records/marlowin/reports/*.txt)
  list(LENGTH reports count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one report file, found: ${reports}")
  endif()
  file(READ ${reports} report)
  if(NOT report MATCHES "^video copy complete\n\n6 clips copied, from 2 shot folders to ")
    message(FATAL_ERROR "the report file holds:\n${report}")
  endif()
  file(REMOVE_RECURSE ${WORK}/records)
endif()

file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE ${WORK} ${WORK}/*)
list(SORT entries)
list(JOIN entries "\n" actual)
# The history's generation is named by the time the pass started.
string(REGEX REPLACE "D/ascmhl/0001_D_[0-9-]+_[0-9]+Z\\.mhl" "D/ascmhl/0001_D_<date>_<time>Z.mhl" actual "${actual}")
file(READ ${EXPECTED} expected)
string(STRIP "${expected}" expected)
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "tree after the pass:\n${actual}\n\nexpected:\n${expected}")
endif()

# Both history files as the ASC's schemas have them, whichever system wrote them.
if(XMLLINT AND SCHEMAS)
  file(GLOB generation ${WORK}/D/ascmhl/0001_D_*.mhl)
  foreach(check "ASCMHL.xsd;${generation}" "ASCMHLDirectory.xsd;${WORK}/D/ascmhl/ascmhl_chain.xml")
    list(GET check 0 schema)
    list(GET check 1 document)
    execute_process(COMMAND ${XMLLINT} --noout --schema ${SCHEMAS}/${schema} ${document}
                    RESULT_VARIABLE valid OUTPUT_VARIABLE said ERROR_VARIABLE said)
    if(NOT valid EQUAL 0)
      message(FATAL_ERROR "${document} is not valid against ${schema}:\n${said}")
    endif()
  endforeach()
endif()

file(READ "${WORK}/D/ab_cd_int_ef__m02/video/v02_hires.mp4" copy)
file(READ "${SAMPLE}/ab_cd_ef/MP4 HIGH RES/v02.mp4" original)
if(NOT copy STREQUAL original)
  message(FATAL_ERROR "the int copy of v02 differs from the clip")
endif()
# The same program checks the tree against the history it wrote: clean, then with one byte of
# one copy changed, then with a copy gone.
function(check_tree expected_status what)
  execute_process(COMMAND ${EMULATOR} ${PROGRAM} --check ${destination}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL expected_status)
    message(FATAL_ERROR "--check ${what}: status ${status}, output '${out}', errors '${err}'")
  endif()
  set(check_err "${err}" PARENT_SCOPE)
endfunction()
check_tree(0 "of the collected tree")
file(READ "${WORK}/D/ab_cd_adl_ef/video/v01_hires.mp4" bytes HEX)
string(SUBSTRING "${bytes}" 0 2 first)
if(first STREQUAL "41")
  set(flipped "B")
else()
  set(flipped "A")
endif()
file(READ "${WORK}/D/ab_cd_adl_ef/video/v01_hires.mp4" text OFFSET 1)
file(WRITE "${WORK}/D/ab_cd_adl_ef/video/v01_hires.mp4" "${flipped}${text}")
check_tree(1 "after one byte changed")
if(NOT check_err MATCHES "v01_hires.mp4: changed")
  message(FATAL_ERROR "--check did not name the changed copy: '${check_err}'")
endif()
file(REMOVE "${WORK}/D/ab_cd_int_ef__m02/video/v02_hires.mp4")
check_tree(1 "after a copy was deleted")
if(NOT check_err MATCHES "v02_hires.mp4: missing")
  message(FATAL_ERROR "--check did not name the missing copy: '${check_err}'")
endif()

file(REMOVE_RECURSE ${WORK})
