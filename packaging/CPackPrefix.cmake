# Read by cpack: a Debian package installs under /usr, never under /usr/local or a home
# folder, so a build configured for another prefix is refused (make package configures one
# for /usr).
if(NOT CPACK_QUARNEL_INSTALL_PREFIX STREQUAL "/usr")
  message(FATAL_ERROR "The package needs a build configured with -DCMAKE_INSTALL_PREFIX=/usr "
                      "(this one installs into ${CPACK_QUARNEL_INSTALL_PREFIX}); run make package")
endif()
