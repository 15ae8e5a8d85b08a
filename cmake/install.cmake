# Installation: the program with its manual page, chart tool and examples,
# and the numerical library for reuse by other CMake projects:
#
#   find_package(temp1d CONFIG REQUIRED)
#   target_link_libraries(app PRIVATE temp1d::numlib)
#
# gives the tridiagonal solver and its error reporting through the header
# "numlib/numlib.h"; temp1d::numlib brings the text library temp1d::textio it
# needs at link time.  Install locations follow GNUInstallDirs, so the same
# rules serve /usr/local, a distribution package or a private prefix.

include(GNUInstallDirs)

# One version everywhere: the project version is what `temp1d --version`
# shows and what the CMake package declares; the manual pages must name the
# same one.
foreach(manual_page temp1d.1 temp1d-plot.1 temp1d-fit.1)
  file(STRINGS ${PROJECT_SOURCE_DIR}/docs/${manual_page} title_line REGEX "^\\.TH ")
  if(NOT title_line MATCHES "\"temp1d ${PROJECT_VERSION}\"")
    message(FATAL_ERROR "docs/${manual_page} names another version than the project's ${PROJECT_VERSION}: ${title_line}")
  endif()
endforeach()
# "temp1d-plot --version" shows the version written in the script.
file(STRINGS ${PROJECT_SOURCE_DIR}/tools/temp1d-plot version_line REGEX "^version=")
if(NOT version_line STREQUAL "version=${PROJECT_VERSION}")
  message(FATAL_ERROR "tools/temp1d-plot names another version than the project's ${PROJECT_VERSION}: ${version_line}")
endif()
include(CMakePackageConfigHelpers)

set(TEMP1D_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/temp1d
    CACHE STRING "Where the CMake package configuration of temp1d is installed")

# The public header uses std::string_view.
set_property(TARGET numlib APPEND PROPERTY INTERFACE_COMPILE_FEATURES cxx_std_17)

install(TARGETS temp1d RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${PROJECT_SOURCE_DIR}/tools/temp1d-plot DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/temp1d.1 ${PROJECT_SOURCE_DIR}/docs/temp1d-plot.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/docs/user-guide.md ${PROJECT_SOURCE_DIR}/docs/check-json.md
              ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/temp1d/examples)

install(TARGETS numlib textio EXPORT temp1d-targets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/numlib/numlib.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/numlib)
# The exception through which the library stops (textio::Stop).
install(FILES ${PROJECT_SOURCE_DIR}/textio/failure_report.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/textio)
install(EXPORT temp1d-targets NAMESPACE temp1d:: DESTINATION ${TEMP1D_INSTALL_CMAKEDIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/temp1d-config.cmake.in
                              ${PROJECT_BINARY_DIR}/temp1d-config.cmake
                              INSTALL_DESTINATION ${TEMP1D_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/temp1d-config-version.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/temp1d-config.cmake ${PROJECT_BINARY_DIR}/temp1d-config-version.cmake
        DESTINATION ${TEMP1D_INSTALL_CMAKEDIR})
