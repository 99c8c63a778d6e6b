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

# One static library per folder.
function(lumora_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
    lumora_warnings(${name})
endfunction()

# A QtTest binary run by CTest under the offscreen platform.
function(lumora_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LINKS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LINKS})
    target_compile_definitions(${name} PRIVATE
        LUMORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        LUMORA_BINARY_DIR="${PROJECT_BINARY_DIR}")
    lumora_warnings(${name})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QPA_FONTDIR=/usr/share/fonts/truetype/dejavu"
        TIMEOUT ${ARG_TIMEOUT}
        LABELS "${ARG_LABELS}")
endfunction()
