# `make package`: one Debian package from a release build. The shared
# libraries the program links give most of Depends; the rest are what it
# needs at run time without linking them: the SVG plugin for the
# preferences icon, GIO (opened when first needed, so no tool sees it), the
# desktop's viewer for help and the MIME database for guessing file types.
# Bringing windows to the front reads Qt's native interface through its
# private headers, which hold only for the Qt release built against: the
# package depends on exactly that one (each release's libqt6core6 provides
# qt6-base-abi with its version).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VENDOR "Velcora Software")
set(CPACK_PACKAGE_CONTACT "Velcora Software <packages@velcora.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Orvane opens files by types that you define. A type is a name, a file\n\
extension, a folder, a description and the application that opens the\n\
type's files. Choose a type and Orvane lists the files of that extension\n\
in the type's folder; double-click one and it opens with the type's\n\
application.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libqt6svg6, libglib2.0-0 (>= 2.36), xdg-utils, shared-mime-info, qt6-base-abi (= ${Qt6Gui_VERSION})")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)

include(CPack)
