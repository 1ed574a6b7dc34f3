# Instrumented build trees, each beside the ordinary one and limited to what it tests
# (scripts/build.sh --sanitize, --tsan or --fuzz makes it):
#
# TARVONI_SANITIZE=address  build-sanitize/: AddressSanitizer and UndefinedBehaviorSanitizer over
#                           the player, playlist, stream, engine and tray tests and the fuzz inputs
# TARVONI_SANITIZE=thread   build-tsan/: ThreadSanitizer over the engine, playlist, stream, desktop,
#                           tray and ad proxy tests
# TARVONI_SANITIZE=fuzz     build-fuzz/, compiled by clang: the fuzz targets under libFuzzer, with
#                           AddressSanitizer and UndefinedBehaviorSanitizer
# (empty)                   the ordinary tree: its CTest run also runs the tests of those trees
#                           that have been built, so that one ctest summary counts them all.
#
# In an instrumented tree everything is compiled instrumented (through tarvoni_common), only the
# test folders in TARVONI_SANITIZE_TEST_DIRS register tests, and the target
# tarvoni_sanitize_tests builds just what they need.
set(TARVONI_SANITIZE "" CACHE STRING "This tree's instrumentation: address, thread, fuzz or none")
set_property(CACHE TARVONI_SANITIZE PROPERTY STRINGS "" address thread fuzz)
if(TARVONI_SANITIZE STREQUAL "ON")
    set(TARVONI_SANITIZE address) # trees made when this was a switch
elseif(NOT TARVONI_SANITIZE OR TARVONI_SANITIZE STREQUAL "none")
    set(TARVONI_SANITIZE "")
endif()
set(TARVONI_SANITIZE_BUILD_DIRS
    "${PROJECT_BINARY_DIR}-sanitize;${PROJECT_BINARY_DIR}-tsan;${PROJECT_BINARY_DIR}-fuzz" CACHE STRING
    "The instrumented trees whose tests the ordinary tree's ctest runs too, when they have been built")

set(supp ${PROJECT_SOURCE_DIR}/tests)
if(TARVONI_SANITIZE STREQUAL "address")
    # The web engine and everything that links it stay out of this tree.
    set(TARVONI_SANITIZE_TEST_DIRS player playlist stream vlc tray ad_engine fuzz)
    set(TARVONI_TEST_SUFFIX _sanitized)
    set(TARVONI_TEST_LABEL sanitize)
    set(flags -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    set(link_flags ${flags})
    # Every report ends the test with a failure. Leaks are looked for; the suppressions file
    # names the libraries' own (what libVLC's plugins and the codecs they load keep, fontconfig).
    # Full stack walks on allocation: libVLC unloads its plugins before the leak check, and only
    # a full walk reaches the loader's frame under their then nameless ones.
    set(TARVONI_SANITIZE_ENVIRONMENT
        "ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0:check_initialization_order=1:detect_stack_use_after_return=1"
        "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
        "LSAN_OPTIONS=suppressions=${supp}/sanitizer_leaks.supp:print_suppressions=0")
elseif(TARVONI_SANITIZE STREQUAL "thread")
    # The threads: the UI thread, the engine's creation worker and reaper, the relay's and the
    # probe's threads, the ad proxy's connection workers, Qt D-Bus's own thread, and libVLC's.
    # (tests/player/ holds the loopback servers the others use.)
    set(TARVONI_SANITIZE_TEST_DIRS player playlist stream vlc desktop tray ad_engine)
    set(TARVONI_TEST_SUFFIX _tsan)
    set(TARVONI_TEST_LABEL tsan)
    set(flags -fsanitize=thread -fno-omit-frame-pointer)
    set(link_flags ${flags})
    # A report fails the test (exit code 66 at its end); the suppressions file names what lies
    # in libVLC's and Qt's own code, which is not instrumented. The tests start their servers
    # with QProcess while threads run: the child only execs, so it may outlive the fork.
    set(TARVONI_SANITIZE_ENVIRONMENT
        "TSAN_OPTIONS=suppressions=${supp}/thread_sanitizer.supp:second_deadlock_stack=1:die_after_fork=0:print_suppressions=0")
elseif(TARVONI_SANITIZE STREQUAL "fuzz")
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "The fuzz tree needs clang: -DCMAKE_CXX_COMPILER=clang++")
    endif()
    set(TARVONI_SANITIZE_TEST_DIRS fuzz)
    set(TARVONI_TEST_LABEL fuzz)
    # Coverage for libFuzzer everywhere; its driver only in the fuzz targets themselves.
    set(flags -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    set(link_flags -fsanitize=address,undefined)
elseif(TARVONI_SANITIZE)
    message(FATAL_ERROR "TARVONI_SANITIZE is address, thread, fuzz or empty, not ${TARVONI_SANITIZE}")
endif()

if(TARVONI_SANITIZE)
    target_compile_options(tarvoni_common INTERFACE ${flags})
    target_link_options(tarvoni_common INTERFACE ${link_flags})
    add_custom_target(tarvoni_sanitize_tests)
else()
    set(include_trees "")
    foreach(dir ${TARVONI_SANITIZE_BUILD_DIRS})
        string(APPEND include_trees
            "if(EXISTS \"${dir}/CTestTestfile.cmake\")\n  subdirs(\"${dir}\")\nendif()\n")
    endforeach()
    file(WRITE ${PROJECT_BINARY_DIR}/sanitize_tests.cmake "${include_trees}")
    set_property(DIRECTORY APPEND PROPERTY
        TEST_INCLUDE_FILES ${PROJECT_BINARY_DIR}/sanitize_tests.cmake)
endif()

# In an instrumented tree, after a test folder is added: everything it builds (its tests and
# the helper programs they start) is part of tarvoni_sanitize_tests. Its tests get their
# sanitizer settings from tarvoni_add_test, so tests in these folders are registered with it.
function(tarvoni_sanitize_test_dir dir)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "EXECUTABLE")
            add_dependencies(tarvoni_sanitize_tests ${target})
        endif()
    endforeach()
endfunction()
