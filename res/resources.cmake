# Compiles the resource script once per build tree:
#   MOXU_RES_FILE    the binary .res (read by the host stand-in and the resource checker)
#   MOXU_RES_OBJECT  the COFF object linked into moxu.exe (Windows builds)
# On the host any MinGW windres will do: the .res format is the same for both.
if(WIN32)
    set(MOXU_WINDRES ${CMAKE_RC_COMPILER})
else()
    find_program(MOXU_WINDRES NAMES x86_64-w64-mingw32-windres i686-w64-mingw32-windres REQUIRED)
endif()

set(MOXU_RC ${CMAKE_SOURCE_DIR}/res/moxu.rc)
set(MOXU_RES_FILE ${CMAKE_BINARY_DIR}/res/moxu.res)
set(MOXU_RES_OBJECT ${CMAKE_BINARY_DIR}/res/moxu_res.o)
file(GLOB MOXU_RC_DEPENDS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/*.rc ${CMAKE_SOURCE_DIR}/res/*.h)

add_custom_command(OUTPUT ${MOXU_RES_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/res
    COMMAND ${MOXU_WINDRES} -I ${CMAKE_SOURCE_DIR}/res -I ${CMAKE_BINARY_DIR}/res
            -i ${MOXU_RC} -O res -o ${MOXU_RES_FILE}
    DEPENDS ${MOXU_RC_DEPENDS}
    COMMENT "Compiling the resource script")
add_custom_target(moxu_res DEPENDS ${MOXU_RES_FILE})

if(WIN32)
    add_custom_command(OUTPUT ${MOXU_RES_OBJECT}
        COMMAND ${MOXU_WINDRES} -i ${MOXU_RES_FILE} -O coff -o ${MOXU_RES_OBJECT}
        DEPENDS ${MOXU_RES_FILE}
        COMMENT "Resource object for moxu.exe")
endif()
