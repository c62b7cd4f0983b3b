# The host build: the program's code against our Win32 stand-in, and the unit tests.
enable_testing()
find_package(GTest REQUIRED)

add_compile_options(-Wall -Wextra -g)

# AddressSanitizer and UndefinedBehaviorSanitizer (preset host-asan): the first report ends the run.
option(MOXU_SANITIZE "Host build with ASan and UBSan" OFF)
# libFuzzer targets of tests/fuzz (preset fuzz, clang): the program and the stand-in instrumented alike.
option(MOXU_FUZZ "Build the libFuzzer targets (clang)" OFF)
if(MOXU_SANITIZE OR MOXU_FUZZ)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
if(MOXU_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

file(GLOB MOXU_WINSTUB_SOURCES CONFIGURE_DEPENDS winstub/*.cpp)
add_library(winstub STATIC ${MOXU_WINSTUB_SOURCES})
target_include_directories(winstub PUBLIC winstub ${MOXU_INCLUDES})
target_compile_definitions(winstub PRIVATE MOXU_RES_FILE="${MOXU_RES_FILE}")
add_dependencies(winstub moxu_res)

add_library(moxu_prog STATIC ${MOXU_SOURCES})
target_include_directories(moxu_prog PUBLIC ${MOXU_INCLUDES} winstub)
target_link_libraries(moxu_prog PUBLIC winstub)

if(NOT MOXU_FUZZ)
    include(tests/host/tests.cmake OPTIONAL)
endif()
# The fuzz targets; without MOXU_FUZZ they are built with a plain driver that replays their corpora.
include(tests/fuzz/fuzz.cmake OPTIONAL)
