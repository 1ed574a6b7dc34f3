# tarvoni_add_fuzz_target(<name> LIBS <targets...>)
#
# A fuzz target for one reader of what servers send: fuzz_<name>.cpp beside the call defines
# LLVMFuzzerTestOneInput; seeds/<name>/ holds a few real answers to start from, and
# regressions/<name>/ (when there is one) the inputs that once found a fault, kept for good.
#
# In the fuzz tree (TARVONI_SANITIZE=fuzz, clang) it is built with libFuzzer and CTest runs it
# as fuzz_<name> for TARVONI_FUZZ_SECONDS, from its seeds, its regressions and what earlier runs
# on this machine added (TARVONI_FUZZ_CORPUS/<name>/, kept in the user's cache like the compiler
# cache, so that a fresh clone goes on from where the last run left off and each run adds to
# what the fuzzing has covered). What it finds is written to fuzz-finds/ in that tree: fix the
# fault, then copy the file into regressions/<name>/.
# In every other tree it is built with a driver that reads each seed and regression once, as
# the test fuzz_<name>_inputs (with _sanitized or _tsan in an instrumented tree).
set(TARVONI_FUZZ_SECONDS 10 CACHE STRING "How long each fuzz target runs in the fuzz tree's tests")
if(DEFINED ENV{HOME})
    set(corpus_home $ENV{HOME}/.cache/tarvoni-radio-player/fuzz-corpus)
else()
    set(corpus_home ${PROJECT_BINARY_DIR}/tests/fuzz/corpus)
endif()
set(TARVONI_FUZZ_CORPUS ${corpus_home} CACHE PATH "Where the fuzz targets keep what they learn, run to run")

function(tarvoni_add_fuzz_target name)
    cmake_parse_arguments(F "" "" "LIBS" ${ARGN})
    set(target fuzz_${name})
    set(inputs ${CMAKE_CURRENT_SOURCE_DIR}/seeds/${name})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/regressions/${name})
        list(APPEND inputs ${CMAKE_CURRENT_SOURCE_DIR}/regressions/${name})
    endif()
    if(TARVONI_SANITIZE STREQUAL "fuzz")
        add_executable(${target} fuzz_${name}.cpp)
        target_link_options(${target} PRIVATE -fsanitize=fuzzer)
        set(corpus ${TARVONI_FUZZ_CORPUS}/${name})
        set(finds ${PROJECT_BINARY_DIR}/fuzz-finds)
        file(MAKE_DIRECTORY ${corpus} ${finds})
        add_test(NAME ${target}
                 COMMAND ${target} -max_total_time=${TARVONI_FUZZ_SECONDS} -timeout=10
                         -print_final_stats=1 -artifact_prefix=${finds}/${name}- ${corpus} ${inputs})
        math(EXPR timeout "${TARVONI_FUZZ_SECONDS} + 60")
        # Busy on the processor all its time, unlike the tests that wait on servers: it takes
        # two of ctest's slots, so that fuzzing never crowds out those tests' events.
        set_tests_properties(${target} PROPERTIES TIMEOUT ${timeout} LABELS "none;fuzz" PROCESSORS 2)
    else()
        if(NOT TARGET tarvoni_fuzz_input_replay)
            add_library(tarvoni_fuzz_input_replay STATIC ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz_input_replay.cpp)
            target_link_libraries(tarvoni_fuzz_input_replay PRIVATE tarvoni_common)
        endif()
        add_executable(${target} fuzz_${name}.cpp)
        target_link_libraries(${target} PRIVATE tarvoni_fuzz_input_replay)
        set(test ${target}_inputs${TARVONI_TEST_SUFFIX})
        add_test(NAME ${test} COMMAND ${target} ${inputs})
        set_tests_properties(${test} PROPERTIES
            TIMEOUT 60
            ENVIRONMENT "${TARVONI_SANITIZE_ENVIRONMENT}"
            LABELS "none;${TARVONI_TEST_LABEL}")
    endif()
    target_link_libraries(${target} PRIVATE tarvoni_common ${F_LIBS})
endfunction()
