# add_unit_test(NAME <name> SOURCES <files...> LIBS <targets...> [GUI])
# One test executable per unit; GoogleTest's discovery registers its cases with ctest.
# GUI tests get a QApplication from tests/support and run on the offscreen platform.
find_package(GTest REQUIRED)
include(GoogleTest)

function(add_unit_test)
    cmake_parse_arguments(UT "GUI" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${UT_NAME} ${UT_SOURCES})
    set_target_properties(${UT_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    set_target_properties(${UT_NAME} PROPERTIES BUILD_RPATH "${CMAKE_BINARY_DIR}/bin")
    if(UT_GUI)
        target_link_libraries(${UT_NAME} PRIVATE test_support_gui ${UT_LIBS})
    else()
        target_link_libraries(${UT_NAME} PRIVATE test_support ${UT_LIBS})
    endif()
    gtest_discover_tests(${UT_NAME}
        TEST_PREFIX "${UT_NAME}."
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
        DISCOVERY_TIMEOUT 60)
endfunction()
