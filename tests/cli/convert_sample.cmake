# Runs tavrin-convert on the bundled sample export in a scratch folder: a successful
# conversion, and the exit codes of a few failures.
# Arguments: -DCONVERTER=<program> -DSAMPLE=<sample export> -DWORK=<scratch folder>

function(expect_exit expected)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code STREQUAL "${expected}")
    message(FATAL_ERROR "exit code ${code}, expected ${expected}: ${ARGN}\n${out}\n${err}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

expect_exit(0 "${CONVERTER}" --regional de --serial SAMPLE1 -o "${WORK}/sample.xml" "${SAMPLE}")
file(READ "${WORK}/sample.xml" xml)
string(FIND "${xml}" "SN=\"SAMPLE1\"" serial_at)
string(FIND "${xml}" "<BG " record_at)
if(NOT xml MATCHES "^<\\?xml" OR serial_at EQUAL -1 OR record_at EQUAL -1)
  message(FATAL_ERROR "not the expected XML document:\n${xml}")
endif()

expect_exit(1 "${CONVERTER}" --no-such-option "${SAMPLE}")
expect_exit(2 "${CONVERTER}" "${WORK}/missing.csv")
expect_exit(4 "${CONVERTER}" --handover "${WORK}/no-host" -o "${WORK}/h.xml" "${SAMPLE}")
expect_exit(0 "${CONVERTER}" --help)
