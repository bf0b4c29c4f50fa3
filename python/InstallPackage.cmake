# Run by cmake --install: copies the zorvsegment package of the build tree
# into a site-packages folder of the interpreter it was built for:
# - ZORVSEG_PYTHON_INSTALL_DIR when it was set at configure time (relative
#   to the prefix, or absolute);
# - with the default prefix (/usr/local), the interpreter's own
#   site-packages, so that `import zorvsegment` just works;
# - with any other prefix, <prefix>/lib/python3.X/site-packages, which
#   PYTHONPATH then names.
# The installed package looks for the data directory under the prefix
# (ZORVSEG_INSTALL_DATA_DIR) first, then in the build tree.
if(ZORVSEG_PYTHON_INSTALL_DIR)
  if(IS_ABSOLUTE "${ZORVSEG_PYTHON_INSTALL_DIR}")
    set(site "${ZORVSEG_PYTHON_INSTALL_DIR}")
  else()
    set(site "${CMAKE_INSTALL_PREFIX}/${ZORVSEG_PYTHON_INSTALL_DIR}")
  endif()
elseif(CMAKE_INSTALL_PREFIX STREQUAL ZORVSEG_DEFAULT_PREFIX)
  set(site "${ZORVSEG_PYTHON_OWN_SITE}")
else()
  set(site "${CMAKE_INSTALL_PREFIX}/${ZORVSEG_PYTHON_PREFIX_SITE}")
endif()

file(INSTALL "${ZORVSEG_PACKAGE_DIR}" DESTINATION "${site}"
     PATTERN "__pycache__" EXCLUDE PATTERN "_paths.py" EXCLUDE)
set(paths "$ENV{DESTDIR}${site}/zorvsegment/_paths.py")
message(STATUS "Installing: ${paths}")
file(WRITE "${paths}"
  "\"\"\"Where the installed package looks for the data directory, in this order.\"\"\"\n"
  "DATA_DIRS = [\"${CMAKE_INSTALL_PREFIX}/${ZORVSEG_INSTALL_DATA_DIR}\", \"${ZORVSEG_BUILD_DATA_DIR}\"]\n")
