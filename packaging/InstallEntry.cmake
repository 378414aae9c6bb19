# Run by `cmake --install` for each program with a menu entry: writes the
# entry with the program's installed path, and links PREFIX/bin/<program> to
# the program in its own folder.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(exec "${CMAKE_INSTALL_PREFIX}/bin/${TELLURA_APP_PROGRAM}")
# A path with blanks or other reserved characters is quoted; inside the quotes
# '"', '`', '$' and '\' are escaped, and every '\' is doubled once more for
# the entry file's own string escapes.
if(exec MATCHES "[^-A-Za-z0-9_./+]")
  string(REPLACE "\\" "\\\\\\\\" exec "${exec}")
  string(REPLACE "\"" "\\\\\"" exec "${exec}")
  string(REPLACE "`" "\\\\`" exec "${exec}")
  string(REPLACE "$" "\\\\$" exec "${exec}")
  set(exec "\"${exec}\"")
endif()
set(TELLURA_EXEC "${exec}")
set(entry "${root}/share/applications/${TELLURA_APP_ID}.desktop")
message(STATUS "Installing: ${entry}")
configure_file("${TELLURA_ENTRY_TEMPLATE}" "${entry}" @ONLY)
set(link "${root}/bin/${TELLURA_APP_PROGRAM}")
message(STATUS "Installing: ${link}")
file(MAKE_DIRECTORY "${root}/bin")
file(REMOVE "${link}")
file(CREATE_LINK "../${TELLURA_PROGRAM_DIR}/${TELLURA_APP_PROGRAM}" "${link}" SYMBOLIC)
