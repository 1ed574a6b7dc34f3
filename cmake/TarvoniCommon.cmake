# tarvoni_common: what every target of this project is compiled with. Every library, module,
# test, benchmark and tool links it (PRIVATE); nothing is set for the whole tree, so that a
# target's link line shows all it is built with. tarvoni_check_common() at the end of the
# top-level CMakeLists.txt fails the configuration when a target does not link it.
#
# TARVONI_WERROR=ON turns every warning into an error. scripts/test.sh (and so CI) builds with
# it; a plain configure leaves it off, so that a half-made change still builds for a try and a
# newer compiler's new warnings do not stop someone building the program.
option(TARVONI_WERROR "Fail the build on any compiler warning" OFF)

add_library(tarvoni_common INTERFACE)
target_compile_options(tarvoni_common INTERFACE
    -Wall -Wextra -Wshadow
    $<$<BOOL:${TARVONI_WERROR}>:-Werror>)
# Qt's conversions that would otherwise happen unseen: bytes taken for text (only a string
# literal becomes a QString by itself; bytes from a server or a C call say their encoding),
# text handed out as bytes, byte arrays as C strings, text taken for an address, and signal
# arguments narrowed on their way to a slot. Forbidding every conversion from a literal too
# (QT_NO_CAST_FROM_ASCII) would cost some 150 lines of QStringLiteral, nearly all in tests.
target_compile_definitions(tarvoni_common INTERFACE
    QT_RESTRICTED_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

# Fails the configuration for every target built from this project's sources that does not
# link tarvoni_common. Qt's own helper targets (the object libraries that carry resources)
# hold only generated code and are left out.
function(tarvoni_check_common)
    set(missing)
    set(dirs ${PROJECT_SOURCE_DIR})
    while(dirs)
        list(POP_FRONT dirs dir)
        get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
        list(APPEND dirs ${subdirs})
        get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
        foreach(target ${targets})
            get_target_property(type ${target} TYPE)
            if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
                continue()
            endif()
            get_target_property(qt_helper ${target} _qt_is_resource_target)
            if(qt_helper OR target MATCHES "_resources_[0-9]+$")
                continue()
            endif()
            get_target_property(links ${target} LINK_LIBRARIES)
            if(NOT "tarvoni_common" IN_LIST links)
                list(APPEND missing ${target})
            endif()
        endforeach()
    endwhile()
    if(missing)
        list(JOIN missing ", " names)
        message(FATAL_ERROR "These targets do not link tarvoni_common: ${names}")
    endif()
endfunction()
