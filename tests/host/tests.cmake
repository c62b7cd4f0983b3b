# Host unit tests: one binary for the program's behaviour, plus the resource checker's own.
file(GLOB MOXU_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/host/test_*.cpp)
list(REMOVE_ITEM MOXU_TEST_SOURCES ${CMAKE_SOURCE_DIR}/tests/host/test_resources.cpp)

add_executable(moxu_tests ${MOXU_TEST_SOURCES} tests/host/fixture.cpp tests/host/reset.cpp)
target_include_directories(moxu_tests PRIVATE tests/host)
target_link_libraries(moxu_tests PRIVATE moxu_prog GTest::gtest_main)

include(GoogleTest)
gtest_discover_tests(moxu_tests DISCOVERY_TIMEOUT 60)

include(${CMAKE_SOURCE_DIR}/tests/host/resources.cmake OPTIONAL)
