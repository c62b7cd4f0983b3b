# The Windows programs: moxu.exe and our stand-in moxu2.dll, both in the build tree's top folder.

# Old desktops: no Unicode-era structures (the 88-byte tray record), no newer APIs.
set(MOXU_WINVER_DEFS WINVER=0x0400 _WIN32_WINNT=0x0400 _WIN32_IE=0x0400 _WIN32_WINDOWS=0x0400)

# Small and self-contained: no exceptions or RTTI, unused sections dropped, static runtime.
set(MOXU_CXX_FLAGS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -ffunction-sections -fdata-sections -Wall -Wextra)
# A program always loads at its preferred base on the systems it is made for, so it carries no
# base relocations (the newer linkers' default of a relocatable image costs a 1 KiB section).
set(MOXU_LINK_FLAGS -static -static-libgcc -static-libstdc++ -Wl,--gc-sections -s
    -Wl,--subsystem,windows:4.0 -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,--disable-dynamicbase,--disable-reloc-section)

# Import library for moxu2.dll, by plain names. On i686 the one WINAPI function is
# decorated in the objects (@16) and the import is made by its undecorated name (-k).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(MOXU2_DEF ${CMAKE_SOURCE_DIR}/controller/moxu2.def)
else()
    file(READ ${CMAKE_SOURCE_DIR}/controller/moxu2.def _def)
    string(REPLACE "@16" "" _def "${_def}")
    set(MOXU2_DEF ${CMAKE_BINARY_DIR}/moxu2-import.def)
    file(WRITE ${MOXU2_DEF} "${_def}")
endif()
set(MOXU2_IMPLIB ${CMAKE_BINARY_DIR}/libmoxu2-import.a)
add_custom_command(OUTPUT ${MOXU2_IMPLIB}
    COMMAND ${MINGW_TRIPLET}-dlltool -k -d ${MOXU2_DEF} -l ${MOXU2_IMPLIB}
    DEPENDS ${MOXU2_DEF} ${CMAKE_SOURCE_DIR}/controller/moxu2.def
    COMMENT "Import library for moxu2.dll")
add_custom_target(moxu2_import DEPENDS ${MOXU2_IMPLIB})

add_executable(moxu WIN32 ${MOXU_SOURCES} ${MOXU_RES_OBJECT})
target_include_directories(moxu PRIVATE ${MOXU_INCLUDES})
target_compile_definitions(moxu PRIVATE ${MOXU_WINVER_DEFS})
target_compile_options(moxu PRIVATE ${MOXU_CXX_FLAGS})
target_link_options(moxu PRIVATE ${MOXU_LINK_FLAGS})
add_dependencies(moxu moxu2_import)
target_link_libraries(moxu PRIVATE ${MOXU2_IMPLIB} user32 shell32 advapi32 kernel32)

# Our stand-in controller, for machines without the maker's library.
add_library(moxu2 SHARED baystub/moxu2.cpp)
set_target_properties(moxu2 PROPERTIES PREFIX "" OUTPUT_NAME moxu2)
target_include_directories(moxu2 PRIVATE ${MOXU_INCLUDES})
target_compile_definitions(moxu2 PRIVATE ${MOXU_WINVER_DEFS})
target_compile_options(moxu2 PRIVATE ${MOXU_CXX_FLAGS})
target_link_options(moxu2 PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--kill-at -s)

include(cmake/package.cmake)
include(tests/wine/wine.cmake OPTIONAL)
