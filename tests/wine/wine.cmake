# The Wine tests: our helper programs (tests/wine/progs/*.cpp) and the scripts tests/wine/t_*.sh.
# Both Windows builds include this file; only the 64-bit one builds the helpers and registers the
# tests, because only 64-bit programs run under this machine's Wine.
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
    return()
endif()

enable_testing()

# Console programs that drive or examine the running program from beside it, in ${CMAKE_BINARY_DIR}/tests.
file(GLOB MOXU_WINE_PROGS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/progs/*.cpp)
foreach(_src IN LISTS MOXU_WINE_PROGS)
    get_filename_component(_name ${_src} NAME_WE)
    add_executable(wine_${_name} ${_src})
    set_target_properties(wine_${_name} PROPERTIES
        OUTPUT_NAME ${_name}
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_include_directories(wine_${_name} PRIVATE ${MOXU_INCLUDES} ${CMAKE_SOURCE_DIR}/tests)
    target_compile_options(wine_${_name} PRIVATE -Wall -Wextra -O1)
    target_link_options(wine_${_name} PRIVATE -static -static-libgcc -static-libstdc++)
    target_link_libraries(wine_${_name} PRIVATE user32 gdi32 shell32 advapi32 kernel32)
endforeach()

# One test per script. They share the build tree's prefixes, so one runs at a time; a script that
# cannot run yet (a feature still missing) exits 77 and shows as skipped.
file(GLOB MOXU_WINE_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/t_*.sh)
foreach(_script IN LISTS MOXU_WINE_SCRIPTS)
    get_filename_component(_name ${_script} NAME_WE)
    string(REGEX REPLACE "^t_" "" _name ${_name})
    add_test(NAME wine.${_name} COMMAND bash ${_script})
    set_tests_properties(wine.${_name} PROPERTIES
        ENVIRONMENT "MOXU_BUILD=${CMAKE_BINARY_DIR};MOXU_SRC=${CMAKE_SOURCE_DIR}"
        TIMEOUT 600
        RESOURCE_LOCK moxu_wine
        SKIP_RETURN_CODE 77)
endforeach()
