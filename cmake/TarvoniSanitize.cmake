# The sanitizer build: AddressSanitizer and UndefinedBehaviorSanitizer over the player and tray
# code and their tests, in a build tree of its own (scripts/build.sh --sanitize makes it in
# build-sanitize/ beside build/).
#
# TARVONI_SANITIZE=ON   this tree is the sanitizer tree: everything is compiled instrumented
#                       (through tarvoni_common),
#                       only the test folders in TARVONI_SANITIZE_TEST_DIRS register tests,
#                       and the target tarvoni_sanitize_tests builds just what they need.
# TARVONI_SANITIZE=OFF  the ordinary tree: its CTest run also runs the sanitizer tree's tests,
#                       when that tree has been built, so one ctest summary counts them all.
option(TARVONI_SANITIZE "Build the player and tray tests with AddressSanitizer and UBSan" OFF)
set(TARVONI_SANITIZE_BUILD_DIR "${PROJECT_BINARY_DIR}-sanitize" CACHE PATH
    "Where the sanitizer build tree is, for the ordinary tree's ctest to run its tests")

if(TARVONI_SANITIZE)
    # The web engine and everything that links it stay out of this tree.
    set(TARVONI_SANITIZE_TEST_DIRS player stream vlc tray)
    set(sanitize_flags -fsanitize=address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    target_compile_options(tarvoni_common INTERFACE ${sanitize_flags})
    target_link_options(tarvoni_common INTERFACE ${sanitize_flags})
    add_custom_target(tarvoni_sanitize_tests)

    # Every report ends the test with a failure. Leaks are looked for; the suppressions file
    # names the libraries' own (what libVLC's plugins and the codecs they load keep, fontconfig).
    # Full stack walks on allocation: libVLC unloads its plugins before the leak check, and only
    # a full walk reaches the loader's frame under their then nameless ones.
    set(TARVONI_SANITIZE_ENVIRONMENT
        "ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0:check_initialization_order=1:detect_stack_use_after_return=1"
        "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
        "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/sanitizer_leaks.supp:print_suppressions=0")
else()
    file(WRITE ${PROJECT_BINARY_DIR}/sanitize_tests.cmake
        "if(EXISTS \"${TARVONI_SANITIZE_BUILD_DIR}/CTestTestfile.cmake\")\n"
        "  subdirs(\"${TARVONI_SANITIZE_BUILD_DIR}\")\n"
        "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY
        TEST_INCLUDE_FILES ${PROJECT_BINARY_DIR}/sanitize_tests.cmake)
endif()

# In the sanitizer tree, after a test folder is added: everything it builds (its tests and the
# helper programs they start) is part of tarvoni_sanitize_tests. Its tests get their sanitizer
# settings from tarvoni_add_test, so tests in these folders are registered with it.
function(tarvoni_sanitize_test_dir dir)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "EXECUTABLE")
            add_dependencies(tarvoni_sanitize_tests ${target})
        endif()
    endforeach()
endfunction()
