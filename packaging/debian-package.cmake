# The Debian package: `cpack` in the build folder (or `make package`) writes
# lumora_<version>_<arch>.deb.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumora)
set(CPACK_PACKAGE_VENDOR "The Lumora authors")
set(CPACK_PACKAGE_CONTACT "Lumora developers <lumora@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "picture viewer for JPEG, GIF, BMP and WMF files")
# Lines of the long description, as apt shows them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Lumora opens JPEG, GIF, BMP and WMF pictures, each in its own window inside"
    "one main window. On the active picture it zooms in and out by powers of two,"
    "copies it to the clipboard, makes it the desktop wallpaper, saves it as a BMP"
    "file, prints it on one page and shows a print preview."
    "A screen show plays a list of pictures full-screen on black, stepped by hand"
    "or by a timer.")
# A package installs under /usr whatever prefix the build folder was configured with.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/lumora")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The linked libraries come from dpkg-shlibdeps; these are what the program loads or starts
# by name at run time: Qt's X11 platform plugin, the SQLite driver the help engine reads
# lumora.hlp with, xdg-open, which opens the About box's mail link, and the forms' font.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite, xdg-utils, fonts-liberation2")
# The About box starts a system-information tool when one is installed.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "hardinfo")

include(CPack)
