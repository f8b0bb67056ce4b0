# `make package`: a Debian package of what `cmake --install` puts in place,
# with the libraries it needs found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR "Quillon maintainers")
set(CPACK_PACKAGE_CONTACT "Quillon maintainers <maintainers@users.noreply.c-seed-774000cb.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "print plain text files straight to a printer port")
# Debian shows the description as it is: lines of at most 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
	"Quillon prints plain text files straight to a printer on a parallel,\n"
	"serial, USB or network port, or to a plain file, sending the printer\n"
	"model's own control codes (ESC/P, PCL, Proprinter) without any print\n"
	"service. Pick a printer model, a port, the pitch, quality and paper in\n"
	"its menus, then choose the files or drop them on the window.\n"
	"\n"
	"Without a display it reads a script of user actions from standard input,\n"
	"which is how it prints from scripts and over SSH.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
	OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/quillon/quillon)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
