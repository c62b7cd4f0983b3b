# Compiles the resource script once per build tree:
#   MOXU_RES_FILE    the binary .res (read by the host stand-in and the resource checker)
#   MOXU_RES_OBJECT  the COFF object linked into moxu.exe (Windows builds)
#   MOXU_ICON_FILE   the tray icon, made from res/tray_icon.txt, with an 8x PNG preview beside it
# On the host any MinGW windres will do: the .res format is the same for both.
if(WIN32)
    set(MOXU_WINDRES ${CMAKE_RC_COMPILER})
else()
    find_program(MOXU_WINDRES NAMES x86_64-w64-mingw32-windres i686-w64-mingw32-windres REQUIRED)
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(MOXU_RES_DIR ${CMAKE_CURRENT_LIST_DIR})
set(MOXU_RC ${MOXU_RES_DIR}/moxu.rc)
set(MOXU_RES_FILE ${CMAKE_BINARY_DIR}/res/moxu.res)
set(MOXU_RES_OBJECT ${CMAKE_BINARY_DIR}/res/moxu_res.o)
set(MOXU_ICON_FILE ${CMAKE_BINARY_DIR}/res/moxu.ico)
set(MOXU_ICON_PREVIEW ${CMAKE_BINARY_DIR}/res/tray_icon_x8.png)
set(MOXU_MKICON ${MOXU_RES_DIR}/../tools/mkicon.py)
file(GLOB MOXU_RC_DEPENDS CONFIGURE_DEPENDS ${MOXU_RES_DIR}/*.rc ${MOXU_RES_DIR}/*.rc2 ${MOXU_RES_DIR}/*.h)

add_custom_command(OUTPUT ${MOXU_ICON_FILE} ${MOXU_ICON_PREVIEW}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/res
    COMMAND Python3::Interpreter ${MOXU_MKICON} ${MOXU_RES_DIR}/tray_icon.txt ${MOXU_ICON_FILE} ${MOXU_ICON_PREVIEW} 8
    DEPENDS ${MOXU_RES_DIR}/tray_icon.txt ${MOXU_MKICON}
    COMMENT "Making the tray icon")

# The language files carry their own code-page pragmas; the preprocessor must leave
# the UTF-8 of the Japanese file alone, which it does by default.
add_custom_command(OUTPUT ${MOXU_RES_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/res
    COMMAND ${MOXU_WINDRES} -I ${MOXU_RES_DIR} -I ${CMAKE_BINARY_DIR}/res
            -i ${MOXU_RC} -O res -o ${MOXU_RES_FILE}
    DEPENDS ${MOXU_RC_DEPENDS} ${MOXU_ICON_FILE}
    COMMENT "Compiling the resource script")
add_custom_target(moxu_res DEPENDS ${MOXU_RES_FILE})

if(WIN32)
    add_custom_command(OUTPUT ${MOXU_RES_OBJECT}
        COMMAND ${MOXU_WINDRES} -i ${MOXU_RES_FILE} -O coff -o ${MOXU_RES_OBJECT}
        DEPENDS ${MOXU_RES_FILE}
        COMMENT "Resource object for moxu.exe")
endif()
