# SPDX-License-Identifier: GPL-3.0-or-later
# kovrel_add_test(<name> [QT | CORE] SOURCES <files...> LIBRARIES <targets...>)
# Builds one GoogleTest program and registers each of its cases with CTest. QT: the program runs inside a
# QApplication (offscreen), for tests of widgets; CORE: inside a QCoreApplication, for the client core's
# sockets, timers and waits, which must need no widgets.
find_package(GTest REQUIRED)
find_package(OpenSSL REQUIRED)
include(GoogleTest)

function(kovrel_add_test name)
    cmake_parse_arguments(ARG "QT;CORE" "" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    if(ARG_QT)
        target_link_libraries(${name} PRIVATE kovrel_qt_test_main)
    elseif(ARG_CORE)
        target_link_libraries(${name} PRIVATE kovrel_core_test_main)
    endif()
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gtest_main)
    target_compile_definitions(${name} PRIVATE
        KOVREL_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
        KOVREL_BINARY_DIR="${PROJECT_BINARY_DIR}")
    gtest_discover_tests(${name}
        TEST_PREFIX "${name}."
        DISCOVERY_MODE PRE_TEST
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
