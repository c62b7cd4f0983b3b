# The resource checker: compares the compiled resources of this build and of both Windows
# builds with the expected set, and tests the reader that the stand-in uses.
include(GoogleTest)

get_filename_component(MOXU_TREE ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)
set(MOXU_WIN32_EXE ${MOXU_TREE}/build/win32/moxu.exe CACHE FILEPATH
    "moxu.exe of a win32 build whose resources the checker reads (skipped when absent)")
set(MOXU_WIN64_EXE ${MOXU_TREE}/build/win64/moxu.exe CACHE FILEPATH
    "moxu.exe of a win64 build whose resources the checker reads (skipped when absent)")

# The reader is compiled in directly so the checker does not depend on the rest of the stand-in.
add_executable(test_resources ${MOXU_TREE}/tests/host/test_resources.cpp ${MOXU_TREE}/winstub/resfile.cpp)
target_include_directories(test_resources PRIVATE ${MOXU_TREE}/winstub ${MOXU_TREE}/res ${MOXU_TREE}/tests)
target_compile_definitions(test_resources PRIVATE
    MOXU_RES_FILE="${MOXU_RES_FILE}"
    MOXU_WIN32_EXE="${MOXU_WIN32_EXE}"
    MOXU_WIN64_EXE="${MOXU_WIN64_EXE}")
target_link_libraries(test_resources PRIVATE GTest::gtest_main)
add_dependencies(test_resources moxu_res)
gtest_discover_tests(test_resources NO_PRETTY_VALUES)
