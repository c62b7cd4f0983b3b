# The host build: the program's code against our Win32 stand-in, and the unit tests.
enable_testing()
find_package(GTest REQUIRED)

add_compile_options(-Wall -Wextra -g)

file(GLOB MOXU_WINSTUB_SOURCES CONFIGURE_DEPENDS winstub/*.cpp)
add_library(winstub STATIC ${MOXU_WINSTUB_SOURCES})
target_include_directories(winstub PUBLIC winstub ${MOXU_INCLUDES})
target_compile_definitions(winstub PRIVATE MOXU_RES_FILE="${MOXU_RES_FILE}")
add_dependencies(winstub moxu_res)

add_library(moxu_prog STATIC ${MOXU_SOURCES})
target_include_directories(moxu_prog PUBLIC ${MOXU_INCLUDES} winstub)
target_link_libraries(moxu_prog PUBLIC winstub)

include(tests/host/tests.cmake OPTIONAL)
