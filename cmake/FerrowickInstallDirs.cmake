# Where an installation puts things (GNUInstallDirs, so a distribution's
# choices apply). The programs find their plugins and artwork relative to
# their own folder, so only the paths from bin/ to those folders are built in.
include(GNUInstallDirs)

set(FERROWICK_INSTALL_PLUGINDIR ${CMAKE_INSTALL_LIBDIR}/ferrowick)
set(FERROWICK_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/ferrowick)
# The application id of the desktop entry, its icon and its AppStream data.
set(FERROWICK_APP_ID com.tellurine.Ferrowick)

foreach(dir PLUGINDIR DATADIR)
  if(IS_ABSOLUTE "${FERROWICK_INSTALL_${dir}}" OR IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
    message(FATAL_ERROR "Install folders must be relative to the prefix, or an unpacked package could not find its files")
  endif()
endforeach()
file(RELATIVE_PATH FERROWICK_BIN_TO_DATA /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${FERROWICK_INSTALL_DATADIR})
file(RELATIVE_PATH FERROWICK_BIN_TO_PLUGINS /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${FERROWICK_INSTALL_PLUGINDIR})

# Installing (and CPack) takes what is built and does not first build
# everything: the tests are not part of an installation, and scripts/run.sh
# and scripts/package.sh build only the target ferrowick_runtime.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

# The programs link only system libraries and open the plugins by path: an
# installed copy needs no run path (qt_standard_project_setup() would add
# $ORIGIN ones).
set(CMAKE_INSTALL_RPATH "")
