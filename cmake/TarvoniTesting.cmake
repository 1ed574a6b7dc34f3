# tarvoni_add_test(NAME <name> SOURCES <files...> LIBS <targets...>
#                  [DISPLAY none|offscreen|xvfb] [TIMEOUT <seconds>] [LABELS <labels...>])
#
# Builds one Qt Test executable and registers it with CTest.
#   offscreen: runs on Qt's offscreen platform (no X server needed)
#   xvfb:      runs under its own Xvfb, started and stopped by xvfb-run
function(tarvoni_add_test)
    cmake_parse_arguments(T "" "NAME;DISPLAY;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT T_DISPLAY)
        set(T_DISPLAY none)
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
    target_compile_definitions(${T_NAME} PRIVATE
        TARVONI_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        TARVONI_BINARY_DIR="${PROJECT_BINARY_DIR}")
    if(T_DISPLAY STREQUAL "xvfb")
        add_test(NAME ${T_NAME}
                 COMMAND xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp"
                         $<TARGET_FILE:${T_NAME}>)
    else()
        add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    endif()
    set(env "QT_QPA_PLATFORM=offscreen")
    if(T_DISPLAY STREQUAL "xvfb")
        set(env "QT_QPA_PLATFORM=xcb")
    endif()
    set_tests_properties(${T_NAME} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "${env}"
        LABELS "${T_DISPLAY};${T_LABELS}")
endfunction()
