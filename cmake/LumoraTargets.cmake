# Warnings that every target of ours builds with.
function(lumora_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# The sanitized build checks every target alike, the program, the tests and their helpers;
# an undefined-behaviour finding ends the process as an address finding does, so no test can
# pass over one.
if(LUMORA_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# Qt's headers are most of what compiling a file of ours costs, so they are compiled once per
# target (cmake/precompiled.h). Turned off, every file is compiled on its own includes: a check
# that none leans on the precompiled header.
option(LUMORA_PRECOMPILE "Precompile the Qt and standard headers every file includes" ON)
function(lumora_precompile target)
    if(LUMORA_PRECOMPILE)
        target_precompile_headers(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/precompiled.h)
    endif()
endfunction()

# Most test binaries are a single file, too few to repay a header of their own: the tests of a
# folder share one, compiled with the same definitions (Qt's test library gives each folder
# its own) by an object of the folder's.
function(lumora_test_precompile target)
    if(NOT LUMORA_PRECOMPILE)
        return()
    endif()
    string(MAKE_C_IDENTIFIER "lumora_precompiled_${CMAKE_CURRENT_SOURCE_DIR}" base)
    if(NOT TARGET ${base})
        add_library(${base} OBJECT ${PROJECT_SOURCE_DIR}/cmake/precompiled.cpp)
        set_target_properties(${base} PROPERTIES AUTOMOC OFF)
        lumora_test_settings(${base})
        lumora_precompile(${base})
    endif()
    target_precompile_headers(${target} REUSE_FROM ${base})
    # A test's own moc output is included by its source, which leaves the generated moc file
    # empty: loading a precompiled header would cost it far more than it saves.
    set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen/mocs_compilation.cpp
        PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
endfunction()

# What every test binary is compiled with; the precompiled header a folder's tests share needs
# it the same for all of them.
function(lumora_test_settings target)
    target_link_libraries(${target} PRIVATE Qt6::Test Qt6::Widgets)
    # A test's own code is checks and set-up: it is compiled lightly and without debug
    # information, while the libraries it tests keep the build's optimisation.
    target_compile_options(${target} PRIVATE $<$<CONFIG:RelWithDebInfo>:-O1 -g0>)
    target_compile_definitions(${target} PRIVATE
        LUMORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        LUMORA_BINARY_DIR="${PROJECT_BINARY_DIR}")
    lumora_warnings(${target})
endfunction()

# gold links our test binaries in a third of the time the default linker takes, most of it
# spent on debug information.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=gold LUMORA_LINKS_WITH_GOLD)
if(LUMORA_LINKS_WITH_GOLD)
    add_link_options(-fuse-ld=gold)
endif()

# One static library per folder.
function(lumora_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
    lumora_warnings(${name})
    lumora_precompile(${name})
endfunction()

# A QtTest binary run by CTest under the offscreen platform.
function(lumora_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LINKS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    lumora_test_settings(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LINKS})
    lumora_test_precompile(${name})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QPA_FONTDIR=/usr/share/fonts/truetype/dejavu"
        TIMEOUT ${ARG_TIMEOUT}
        LABELS "${ARG_LABELS}")
endfunction()
