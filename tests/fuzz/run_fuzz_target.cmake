# Runs one fuzz target for a few seconds over its seed corpus and its saved regressions. New
# inputs go to a scratch folder of the build tree, never into the source tree; a crash, a
# sanitizer report, a leak or a time-out fails the test.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/new ${WORK}/artifacts)

set(options -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
  -artifact_prefix=${WORK}/artifacts/)
if(DICTIONARY)
  list(APPEND options -dict=${DICTIONARY})
endif()
# libFuzzer writes what it finds into the first folder only.
set(folders ${WORK}/new ${SOURCE}/corpus/${TARGET})
if(IS_DIRECTORY ${SOURCE}/regressions/${TARGET})
  list(APPEND folders ${SOURCE}/regressions/${TARGET})
endif()

execute_process(COMMAND ${FUZZER} ${options} ${folders} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${TARGET} failed (${result}); the failing input is in ${WORK}/artifacts")
endif()
