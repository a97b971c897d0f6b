# add_unit_test(NAME <name> SOURCES <files...> LIBS <targets...> [GUI [WINDOW_MANAGER]])
# One test executable per unit; GoogleTest's discovery registers its cases with ctest.
# GUI tests get a QApplication from tests/support and run on the offscreen platform and on
# an X server of their own; WINDOW_MANAGER runs them a third time on an X server of their own
# with a window manager (wm.<unit>.<case>), for the units whose windows' frames matter.
find_package(GTest REQUIRED)
include(GoogleTest)

set(OWN_DISPLAY_LAUNCHER ${PROJECT_SOURCE_DIR}/tests/support/own-display.sh)
set(GUI_TEST_TIMEOUT 60 CACHE STRING "Seconds after which one window test case counts as hung")

function(add_unit_test)
    cmake_parse_arguments(UT "GUI;WINDOW_MANAGER" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${UT_NAME} ${UT_SOURCES})
    set_target_properties(${UT_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    set_target_properties(${UT_NAME} PROPERTIES BUILD_RPATH "${CMAKE_BINARY_DIR}/bin")
    if(NOT UT_GUI)
        target_link_libraries(${UT_NAME} PRIVATE test_support ${UT_LIBS})
        gtest_discover_tests(${UT_NAME}
            TEST_PREFIX "${UT_NAME}."
            PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
            DISCOVERY_TIMEOUT 60)
        return()
    endif()
    # Every case runs twice: on the offscreen platform, and on a real X server of its own
    # (xcb.<unit>.<case>), where activation, focus and window placement are the window
    # system's. A hang fails the case after GUI_TEST_TIMEOUT seconds. (A list-valued property
    # does not survive the discovery, so the environment holds one variable and comes last.)
    target_link_libraries(${UT_NAME} PRIVATE test_support_gui ${UT_LIBS})
    set_target_properties(${UT_NAME} PROPERTIES CROSSCOMPILING_EMULATOR ${OWN_DISPLAY_LAUNCHER})
    gtest_discover_tests(${UT_NAME}
        TEST_PREFIX "${UT_NAME}."
        PROPERTIES TIMEOUT ${GUI_TEST_TIMEOUT} LABELS offscreen ENVIRONMENT QT_QPA_PLATFORM=offscreen
        DISCOVERY_TIMEOUT 60)
    gtest_discover_tests(${UT_NAME}
        TEST_PREFIX "xcb.${UT_NAME}."
        PROPERTIES TIMEOUT ${GUI_TEST_TIMEOUT} LABELS xcb ENVIRONMENT QT_QPA_PLATFORM=xcb
        DISCOVERY_TIMEOUT 60)
    if(UT_WINDOW_MANAGER)
        # The launcher takes the xcb platform itself when a window manager is asked for.
        gtest_discover_tests(${UT_NAME}
            TEST_PREFIX "wm.${UT_NAME}."
            PROPERTIES TIMEOUT ${GUI_TEST_TIMEOUT} LABELS wm ENVIRONMENT ZEL_WINDOW_MANAGER=openbox
            DISCOVERY_TIMEOUT 60)
    endif()
endfunction()

# add_unit_test_folder(LIBS <targets...> [WINDOW_MANAGER <units...>])
# Every <Unit>Test.cpp of the calling folder becomes the test executable <Unit>
# (<Unit>GuiTest.cpp: a widget test with its QApplication; the units named after
# WINDOW_MANAGER also run under a window manager). The folder's other .cpp files are helpers
# shared by its tests.
function(add_unit_test_folder)
    cmake_parse_arguments(UF "" "" "LIBS;WINDOW_MANAGER" ${ARGN})
    get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Test.cpp)
    file(GLOB helpers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    list(REMOVE_ITEM helpers ${tests} "")
    set(libs ${UF_LIBS})
    if(helpers)
        add_library(${folder}_test_helpers STATIC ${helpers})
        target_include_directories(${folder}_test_helpers PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
        target_link_libraries(${folder}_test_helpers PUBLIC GTest::gtest GTest::gmock Qt6::Test ${UF_LIBS})
        list(APPEND libs ${folder}_test_helpers)
    endif()
    foreach(test ${tests})
        get_filename_component(stem ${test} NAME_WE)
        if(stem MATCHES "GuiTest$")
            string(REGEX REPLACE "GuiTest$" "" unit ${stem})
            set(manager "")
            if(unit IN_LIST UF_WINDOW_MANAGER)
                set(manager WINDOW_MANAGER)
            endif()
            add_unit_test(NAME ${unit} SOURCES ${test} LIBS ${libs} GUI ${manager})
        else()
            string(REGEX REPLACE "Test$" "" unit ${stem})
            add_unit_test(NAME ${unit} SOURCES ${test} LIBS ${libs})
        endif()
        target_include_directories(${unit} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    endforeach()
    foreach(unit ${UF_WINDOW_MANAGER})
        if(NOT TARGET ${unit})
            message(FATAL_ERROR "add_unit_test_folder: no window test ${unit} to run under a window manager")
        endif()
    endforeach()
endfunction()

# use_file_system_shim(<test>): the test's own calls of renameat2, link, linkat, unlink and
# unlinkat go through tests/storage/FileSystemShim, which can refuse them as some file systems
# do, or act just before an unlink.
function(use_file_system_shim test)
    target_link_options(${test} PRIVATE -Wl,--wrap=renameat2 -Wl,--wrap=link -Wl,--wrap=linkat
        -Wl,--wrap=unlink -Wl,--wrap=unlinkat)
endfunction()
