# velarix_add_test(<name> SOURCES <files...> LIBS <targets...> [TIMEOUT <s>] [LABELS <l...>]
#                  [EACH_FUNCTION])
# Builds a Qt Test executable and registers it with ctest, headless (offscreen) and with the
# fixtures folder and the program folder in the environment. EACH_FUNCTION registers every test
# function of the first source as a ctest test of its own (<name>.<function>), so that slow
# functions that mostly wait run side by side under ctest -j. Each ctest test has its own folder
# for the programs' single-instance locks, so tests that run programs side by side do not refuse
# each other.
function(velarix_add_test name)
    cmake_parse_arguments(T "EACH_FUNCTION" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
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
    if(T_EACH_FUNCTION)
        list(GET T_SOURCES 0 source)
        velarix_test_functions(${CMAKE_CURRENT_SOURCE_DIR}/${source} functions)
        set(tests)
        foreach(function ${functions})
            add_test(NAME ${name}.${function} COMMAND ${name} ${function})
            list(APPEND tests ${name}.${function})
        endforeach()
    else()
        add_test(NAME ${name} COMMAND ${name})
        set(tests ${name})
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    foreach(test ${tests})
        set_tests_properties(${test} PROPERTIES
            TIMEOUT ${T_TIMEOUT}
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VELARIX_UNATTENDED=1;VELARIX_LOCK_DIR=${CMAKE_BINARY_DIR}/locks/${test}")
    endforeach()
    if(T_LABELS)
        set_tests_properties(${tests} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()

# The test functions of a Qt Test source: the slots written "    void name() {" or "    void
# name();" in the test class, without Qt Test's own init/cleanup slots and data functions. The
# source is watched, so a function added later is registered at the next build.
function(velarix_test_functions source out)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    file(STRINGS ${source} lines REGEX "^    void [A-Za-z0-9_]+\\(\\)")
    set(functions)
    foreach(line ${lines})
        string(REGEX REPLACE "^    void ([A-Za-z0-9_]+).*" "\\1" function "${line}")
        if(NOT function MATCHES "^(initTestCase|cleanupTestCase|init|cleanup)$|_data$")
            list(APPEND functions ${function})
        endif()
    endforeach()
    if(NOT functions)
        message(FATAL_ERROR "${source}: no test functions found")
    endif()
    set(${out} ${functions} PARENT_SCOPE)
endfunction()
