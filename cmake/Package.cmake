# The Debian package: cpack -G DEB in the build folder (scripts/package) gives
# zelmora_<version>_<architecture>.deb with everything the install rules put in place under /usr.
set(CPACK_PACKAGE_NAME zelmora)
set(CPACK_PACKAGE_VENDOR "Zelmora")
set(CPACK_PACKAGE_CONTACT "Zelmora maintainers <maintainers@zelmora.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Grave records, maps and reports for cemeteries")
set(CPACK_PACKAGE_DESCRIPTION
    "Zelmora keeps the records of cemeteries in one password-protected database: one record for
every grave space with its place, state, purchaser, interred person and money; the cemeteries and
their lot types; a map of each cemetery coloured by the state of its graves; reports, printing,
import, export and checked zip backups. A demo database and map are included.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zelmora.invalid/")
# The libraries the programs link come from dpkg-shlibdeps; the Qt plugins that draw on the screen
# are loaded at run time, so they are named here.
find_program(ZEL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(ZEL_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6printsupport6 (>= 6.4), \
libsqlcipher0, libssl3, libzip4, libstdc++6, libc6, qt6-qpa-plugins")
endif()
# Only fonts are recommended: Liberation stands in for Arial, so map cells show their places whole
# at the first zoom. The tutorial also shows in the program's own help viewer, so the desktop
# opener (which pulls in perl modules and X tools) is a suggestion only.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xdg-utils")
set(CPACK_GENERATOR DEB)
include(CPack)
