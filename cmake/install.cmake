# What `cmake --install` puts where, and the packages `cpack` makes of it: a Debian package
# on Linux, a zip with both DLLs on Windows.

# Installing and packaging take what the build made and build nothing themselves: the two
# files they need come from a short `--target TROBEdit trob`, not from building every test.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_VENDOR "TROBEdit developers")
set(CPACK_PACKAGE_CONTACT "TROBEdit developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "third-octave stereo analyser (VST 2 plug-in)")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

if(WIN32)
    # One zip of both word sizes, whichever of the two builds makes it; the other build's DLL
    # is taken from its build folder beside this one.
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(own_bits 64)
        set(other_bits 32)
    else()
        set(own_bits 32)
        set(other_bits 64)
    endif()
    cmake_path(SET other_dll NORMALIZE "${PROJECT_BINARY_DIR}/../win${other_bits}/TROBEdit.dll")
    set(TROB_OTHER_WINDOWS_DLL "${other_dll}"
        CACHE FILEPATH "The ${other_bits}-bit TROBEdit.dll the Windows zip takes beside this build's")
    install(TARGETS TROBEdit RUNTIME DESTINATION ${own_bits}-bit)
    install(CODE "
        if(NOT EXISTS \"${TROB_OTHER_WINDOWS_DLL}\")
            message(FATAL_ERROR \"${TROB_OTHER_WINDOWS_DLL} not found: build the win${other_bits} preset first (or set TROB_OTHER_WINDOWS_DLL)\")
        endif()")
    install(FILES ${TROB_OTHER_WINDOWS_DLL} DESTINATION ${other_bits}-bit)
    # The texts with Windows line ends, for any editor there.
    configure_file(${PROJECT_SOURCE_DIR}/docs/windows-install.txt ${PROJECT_BINARY_DIR}/INSTALL.txt
                   @ONLY NEWLINE_STYLE CRLF)
    configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt @ONLY
                   NEWLINE_STYLE CRLF)
    install(FILES ${PROJECT_BINARY_DIR}/INSTALL.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)

    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME "TROBEdit-${PROJECT_VERSION}-windows")
    include(CPack)
    return()
endif()

set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/trobedit)
install(TARGETS TROBEdit LIBRARY DESTINATION ${TROB_INSTALL_VSTDIR})
install(TARGETS trob RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Manual pages are installed compressed, as man and Debian expect them.
file(ARCHIVE_CREATE OUTPUT ${PROJECT_BINARY_DIR}/trob.1.gz PATHS ${PROJECT_SOURCE_DIR}/docs/trob.1
     FORMAT raw COMPRESSION GZip)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/trob.1)
install(FILES ${PROJECT_BINARY_DIR}/trob.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/trob.md
              DESTINATION ${doc_dir})
# The licence, where Debian keeps it.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${doc_dir} RENAME copyright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trobedit)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_PACKAGE_DESCRIPTION
    "TROBEdit splits both channels into thirty third-octave bands and shows, per band, the \
stereo balance, the level and the anti-phase spread. This package holds the VST 2 plug-in \
for Linux hosts (/usr/lib/vst/TROBEdit.so) and trob, which runs audio files through it and \
prints, plots or renders what its meters show.")
# The editor's text asks fontconfig for "Arial"; Liberation Sans is its metric twin. No
# library names the font, so it is listed by hand beside what the libraries need.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
find_program(TROB_DPKG_SHLIBDEPS dpkg-shlibdeps)
mark_as_advanced(TROB_DPKG_SHLIBDEPS)
if(TROB_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS
           ", libc6, libstdc++6, libgcc-s1, libsndfile1, libebur128-1, libfreetype6, libfontconfig1,"
           " libpng16-16, zlib1g, libx11-6, libxext6, libasound2")
endif()
include(CPack)
