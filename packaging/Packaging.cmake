# The Debian package of Quillfen: quillfen_<version>_<arch>.deb from the install tree, installed
# under /usr, its library dependencies worked out by dpkg-shlibdeps from the linked binary.
set(QUILLFEN_PACKAGE_CONTACT "Quillfen developers" CACHE STRING
    "Maintainer field of the Debian package (\"Name <address>\")")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillfen)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillfen developers")
set(CPACK_PACKAGE_CONTACT ${QUILLFEN_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "translate the visible texts of an HTML page")
# One string: set() with several would join them with ";" into the package's description.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Quillfen translates or rewrites the visible texts of an HTML page without touching its "
    "markup. Each new text is written into the page at once, with HTML entities where needed, "
    "and a preview shows the page as it stands on disk. A page can also be split into a "
    "numbered plain-text file and a template and recombined after translation.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libqt6gui6 only recommends the platform plugins, yet without them no window can open, so a
# install with --no-install-recommends would leave a program that cannot start.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")

include(CPack)
