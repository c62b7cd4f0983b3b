# The footprint bench's own programs, built in the same tree, with the same toolchain and flags as
# the program. tools/bench.sh hands this file to the configure step as CMAKE_PROJECT_INCLUDE; it runs
# right after project(), so the targets are added at the end of the top-level list file, once the
# build's own flags and sources are known.
#   Windows:  moxu_floor  bench/floor.exe, the floor: hidden window, tray icon, message loop
#             moxu_probe  bench/probe.exe (64-bit only), the helper that times and measures under Wine
#   host:     moxu_alloc  bench/alloc, the allocation counter, with the program in moxu_bench_prog.so

function(moxu_bench_targets)
    set(_src ${CMAKE_SOURCE_DIR}/bench)
    if(WIN32)
        add_executable(moxu_floor WIN32 ${_src}/floor.cpp)
        set_target_properties(moxu_floor PROPERTIES OUTPUT_NAME floor RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
        target_compile_definitions(moxu_floor PRIVATE ${MOXU_WINVER_DEFS})
        target_compile_options(moxu_floor PRIVATE ${MOXU_CXX_FLAGS})
        target_link_options(moxu_floor PRIVATE ${MOXU_LINK_FLAGS})
        target_link_libraries(moxu_floor PRIVATE user32 shell32 kernel32)
        if(CMAKE_SIZEOF_VOID_P EQUAL 8)
            add_executable(moxu_probe ${_src}/probe.cpp)
            set_target_properties(moxu_probe PROPERTIES OUTPUT_NAME probe RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
            target_compile_options(moxu_probe PRIVATE -O1 -Wall -Wextra)
            target_link_options(moxu_probe PRIVATE -static -static-libgcc -static-libstdc++)
            target_link_libraries(moxu_probe PRIVATE psapi user32 kernel32)
        endif()
        add_custom_target(moxu_bench DEPENDS moxu moxu2 moxu_floor $<$<EQUAL:${CMAKE_SIZEOF_VOID_P},8>:moxu_probe>)
    else()
        add_library(moxu_bench_prog SHARED ${MOXU_SOURCES})
        target_include_directories(moxu_bench_prog PRIVATE ${MOXU_INCLUDES} winstub)
        add_dependencies(moxu_bench_prog moxu_res)
        add_executable(moxu_alloc ${_src}/alloc.cpp ${MOXU_WINSTUB_SOURCES})
        set_target_properties(moxu_alloc PROPERTIES OUTPUT_NAME alloc RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench
                                                     ENABLE_EXPORTS ON)
        target_include_directories(moxu_alloc PRIVATE ${MOXU_INCLUDES} winstub)
        target_compile_definitions(moxu_alloc PRIVATE MOXU_RES_FILE="${MOXU_RES_FILE}")
        target_link_libraries(moxu_alloc PRIVATE moxu_bench_prog ${CMAKE_DL_LIBS})
        add_custom_target(moxu_bench DEPENDS moxu_alloc)
    endif()
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL moxu_bench_targets)
