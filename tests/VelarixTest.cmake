# velarix_add_test(<name> SOURCES <files...> LIBS <targets...> [TIMEOUT <s>] [LABELS <l...>])
# Builds a Qt Test executable and registers it with ctest, headless (offscreen) and with the
# fixtures folder and the program folder in the environment.
function(velarix_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    # A missing source stops the configure: a test that silently drops out hides what it guarded.
    foreach(src ${T_SOURCES})
        if(NOT IS_ABSOLUTE ${src} AND NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${src})
            message(FATAL_ERROR "${name}: test source ${src} is missing")
        endif()
    endforeach()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
    target_compile_definitions(${name} PRIVATE
        VELARIX_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
        VELARIX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        VELARIX_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
    add_test(NAME ${name} COMMAND ${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VELARIX_UNATTENDED=1")
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()
