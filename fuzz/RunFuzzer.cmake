# Runs the fuzz target for SECONDS on a fresh corpus grown from SEEDS; fails on any crash,
# sanitizer report, hang (10 s per input) or untabled code.
file(REMOVE_RECURSE ${CORPUS})
file(MAKE_DIRECTORY ${CORPUS})
execute_process(COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048 -max_len=200000
                        -print_final_stats=1 ${CORPUS} ${SEEDS}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the storage fuzz target failed (${result})")
endif()
