# The release: `cmake --build --preset win32 --target package` makes two ZIP archives in the build tree,
#   moxu-<version>-win32.zip           moxu.exe with README.TXT (English) and README_J.TXT (Japanese)
#   moxu2-standin-<version>-win32.zip  our stand-in moxu2.dll with STANDIN.TXT and STANDIN_J.TXT
# The texts live in dist/ as UTF-8 with LF line ends; they ship as a Windows 9x Notepad reads them:
# CRLF line ends, English in code page 1252 (plain ASCII in fact), Japanese in code page 932 (Shift_JIS).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(_moxu_arch win64)
else()
    set(_moxu_arch win32)
endif()

set(_moxu_dist ${CMAKE_SOURCE_DIR}/dist)
set(_moxu_texts_dir ${CMAKE_BINARY_DIR}/dist)
# Shipped name, source, code page. Short names: the systems it is made for show them best.
set(_moxu_texts
    README.TXT README.en.txt cp1252
    README_J.TXT README.ja.txt cp932
    STANDIN.TXT STANDIN.en.txt cp1252
    STANDIN_J.TXT STANDIN.ja.txt cp932)
set(_moxu_text_files)
while(_moxu_texts)
    list(POP_FRONT _moxu_texts _name _source _codepage)
    add_custom_command(OUTPUT ${_moxu_texts_dir}/${_name}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${_moxu_texts_dir}
        COMMAND Python3::Interpreter ${_moxu_dist}/mktext.py ${_moxu_dist}/${_source} ${_moxu_texts_dir}/${_name} ${_codepage}
        DEPENDS ${_moxu_dist}/${_source} ${_moxu_dist}/mktext.py
        COMMENT "Release text ${_name} (${_codepage}, CRLF)")
    list(APPEND _moxu_text_files ${_moxu_texts_dir}/${_name})
endwhile()
# Part of every build, so that the package step finds them made.
add_custom_target(moxu_release_texts ALL DEPENDS ${_moxu_text_files})

install(PROGRAMS $<TARGET_FILE:moxu> DESTINATION . COMPONENT program)
install(FILES ${_moxu_texts_dir}/README.TXT ${_moxu_texts_dir}/README_J.TXT DESTINATION . COMPONENT program)
install(PROGRAMS $<TARGET_FILE:moxu2> DESTINATION . COMPONENT standin)
install(FILES ${_moxu_texts_dir}/STANDIN.TXT ${_moxu_texts_dir}/STANDIN_J.TXT DESTINATION . COMPONENT standin)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME moxu)
set(CPACK_PACKAGE_VENDOR "Zendrik")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Zendrik: safe change of the Swap Bay module, from the notification area")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
# One archive per component, each named for what it holds; the files sit at the archive's top.
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING IGNORE)
set(CPACK_COMPONENTS_ALL program standin)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_ARCHIVE_PROGRAM_FILE_NAME moxu-${PROJECT_VERSION}-${_moxu_arch})
set(CPACK_ARCHIVE_STANDIN_FILE_NAME moxu2-standin-${PROJECT_VERSION}-${_moxu_arch})
include(CPack)
cpack_add_component(program DISPLAY_NAME "Zendrik (moxu.exe)")
cpack_add_component(standin DISPLAY_NAME "Stand-in moxu2.dll, not the maker's library")
