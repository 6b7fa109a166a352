# What users get. Windows builds install the program's folder as the zip
# holds it; other builds install corvix, its manual page and the documents
# Debian policy asks of a package. CPack packs the same rules:
# `cpack --preset zip` (the win32 tree) and `cpack --preset deb` (the dist
# tree) write dist/Corvix-VERSION-win32.zip and dist/corvix_VERSION_ARCH.deb.

# Installing builds nothing first (the Windows tree holds the Wine test
# programs): build what is installed, then install or pack.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CORVIX_PACKAGE_MAINTAINER "Veltrex <corvix@veltrex.example>" CACHE STRING
    "Maintainer of the Debian package: Name <address>")
set(_corvix_packaging ${CMAKE_SOURCE_DIR}/packaging)
set(_corvix_staged ${CMAKE_BINARY_DIR}/packaging)

set(CPACK_PACKAGE_NAME Corvix)
set(CPACK_PACKAGE_VENDOR Veltrex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reads Akai S1000 sample CD-ROMs into WAV and instrument files")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})

if(WIN32)
  # Corvix.exe and corvix.exe can't share a folder: Windows doesn't tell
  # the two names apart.
  install(TARGETS Corvix RUNTIME DESTINATION .)
  install(TARGETS corvix RUNTIME DESTINATION command-line)
  # Text files as Notepad has them.
  configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${_corvix_staged}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${_corvix_packaging}/README.txt ${_corvix_staged}/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/corvix-guide.html ${_corvix_staged}/README.txt
                ${_corvix_staged}/LICENSE.txt DESTINATION .)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_PACKAGE_FILE_NAME Corvix-${PROJECT_VERSION}-win32)
  else()
    set(CPACK_PACKAGE_FILE_NAME Corvix-${PROJECT_VERSION}-win64)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  include(GNUInstallDirs)
  set(_corvix_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/corvix)
  install(TARGETS corvix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # The changelog's latest entry is the version being packed.
  file(STRINGS ${_corvix_packaging}/changelog _corvix_latest LIMIT_COUNT 1)
  if(NOT _corvix_latest MATCHES "^corvix \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog: the latest entry is not for version ${PROJECT_VERSION}")
  endif()

  # The copyright file in Debian's machine-readable form, from LICENSE.
  file(READ ${CMAKE_SOURCE_DIR}/LICENSE _corvix_license)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${_corvix_license}")
  set(CORVIX_COPYRIGHT "${CMAKE_MATCH_1}")
  string(REGEX REPLACE "^.*\n(Permission )" "\\1" _corvix_license "${_corvix_license}")
  string(STRIP "${_corvix_license}" _corvix_license)
  string(REGEX REPLACE "\n\n" "\n.\n" _corvix_license "${_corvix_license}")
  string(REPLACE "\n" "\n " CORVIX_LICENSE_TEXT " ${_corvix_license}")
  configure_file(${_corvix_packaging}/copyright.in ${_corvix_staged}/copyright @ONLY)

  # The manual page and the changelog compressed as policy wants them
  # (gzip -9n: no name, no time stamp).
  configure_file(${CMAKE_SOURCE_DIR}/docs/corvix.1.in ${_corvix_staged}/corvix.1 @ONLY)
  configure_file(${_corvix_packaging}/changelog ${_corvix_staged}/changelog COPYONLY)
  find_program(CORVIX_GZIP gzip REQUIRED)
  foreach(name corvix.1 changelog)
    execute_process(COMMAND ${CORVIX_GZIP} -9nc ${_corvix_staged}/${name}
                    OUTPUT_FILE ${_corvix_staged}/${name}.gz COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
  install(FILES ${_corvix_staged}/corvix.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${_corvix_staged}/copyright ${_corvix_staged}/changelog.gz DESTINATION ${_corvix_docdir})

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_PACKAGE_NAME corvix)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CORVIX_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION sound)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends from what corvix links (dpkg-shlibdeps)
  set(CPACK_PACKAGE_DESCRIPTION [[
corvix reads Akai S1000 sample CD-ROMs, from a CD-ROM drive or a disc
image (.iso, .img, .bin or .cue), lists their partitions, volumes,
programs and samples, and writes the samples as WAV files and the
programs as instruments: .tes (DLS) files, SoundFont 2 files and SFZ
files with their WAV files.]])
endif()

include(CPack)

# The packaging check (the dist preset): packs both packages and looks at
# them as a packager would.
option(CORVIX_CHECK_PACKAGES "Register the test that packs and checks the zip and the .deb" OFF)
if(CORVIX_CHECK_PACKAGES AND NOT CMAKE_CROSSCOMPILING)
  enable_testing()
  add_test(NAME packages
    COMMAND ${CMAKE_SOURCE_DIR}/tests/packaging/check_packages.sh
            ${CMAKE_CPACK_COMMAND} ${CMAKE_BINARY_DIR}/packages-check ${CORVIX_DEMO_DISC}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  set_tests_properties(packages PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600 LABELS packaging)
endif()
