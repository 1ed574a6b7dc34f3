# tarvoni_add_test(NAME <name> SOURCES <files...> LIBS <targets...>
#                  [DISPLAY none|offscreen|xvfb] [SESSION_BUS] [PRIVATE_NETWORK] [TIMEOUT <seconds>]
#                  [SHARDS <n>] [LABELS <labels...>])
#
# Builds one Qt Test executable and registers it with CTest.
#   offscreen:   runs on Qt's offscreen platform (no X server needed)
#   xvfb:        runs under its own Xvfb, started and stopped by xvfb-run
#   SESSION_BUS: runs on a D-Bus session bus of its own (dbus-run-session)
#   PRIVATE_NETWORK: runs in a network namespace of its own with loopback up, where it may be
#                made (as root; tests/in_private_network.sh)
#   SHARDS:      a long file whose rows are independent of each other runs as n tests side by
#                side, <name>.1 to <name>.n, each with every n-th row (tests/run_test_shard.sh)
# In an instrumented tree the test is named <name>_sanitized or <name>_tsan, beside the
# ordinary run's, and gets that tree's sanitizer settings.
function(tarvoni_add_test)
    cmake_parse_arguments(T "SESSION_BUS;PRIVATE_NETWORK" "NAME;DISPLAY;TIMEOUT;SHARDS" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT T_DISPLAY)
        set(T_DISPLAY none)
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    set(test ${T_NAME}${TARVONI_TEST_SUFFIX})
    set(env ${TARVONI_SANITIZE_ENVIRONMENT})
    if(TARVONI_SANITIZE)
        # Room for the instrumented code's pace.
        math(EXPR T_TIMEOUT "${T_TIMEOUT} * 3")
        list(APPEND T_LABELS ${TARVONI_TEST_LABEL})
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE tarvoni_common Qt6::Test ${T_LIBS})
    target_compile_definitions(${T_NAME} PRIVATE
        TARVONI_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        TARVONI_BINARY_DIR="${PROJECT_BINARY_DIR}")
    set(names ${test})
    set(programs $<TARGET_FILE:${T_NAME}>)
    if(T_SHARDS GREATER 1)
        set(names "")
        set(programs "")
        foreach(shard RANGE 1 ${T_SHARDS})
            list(APPEND names ${test}.${shard})
            # One list element per shard: the shard script and its arguments, ;-joined below.
            list(APPEND programs
                 "${PROJECT_SOURCE_DIR}/tests/run_test_shard.sh|${shard}|${T_SHARDS}|$<TARGET_FILE:${T_NAME}>")
        endforeach()
    endif()
    if(T_DISPLAY STREQUAL "xvfb")
        list(APPEND env "QT_QPA_PLATFORM=xcb")
    else()
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
    endif()
    foreach(name program IN ZIP_LISTS names programs)
        string(REPLACE "|" ";" command "${program}")
        if(T_DISPLAY STREQUAL "xvfb")
            set(command xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" ${command})
        endif()
        if(T_PRIVATE_NETWORK)
            set(command ${PROJECT_SOURCE_DIR}/tests/in_private_network.sh ${command})
        endif()
        if(T_SESSION_BUS)
            set(command dbus-run-session -- ${command})
        endif()
        add_test(NAME ${name} COMMAND ${command})
        set_tests_properties(${name} PROPERTIES
            TIMEOUT ${T_TIMEOUT}
            ENVIRONMENT "${env}"
            LABELS "${T_DISPLAY};${T_LABELS}")
    endforeach()
endfunction()
