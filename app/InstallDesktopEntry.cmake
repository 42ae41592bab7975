# Run by `cmake --install`: writes share/applications/CSVQuibboApp.Document.desktop for the
# executable installed under the prefix. The Exec line quotes the path as DesktopEntry.cpp does:
# '"', '`', '$' and backslashes escaped inside double quotes, '%' doubled (and then the program is
# env, as GLib looks the program up before it turns %% into %), then the whole value escaped as a
# string (backslashes doubled, control characters as \n, \t, \r). The entry is made in
# CSVQ_STAGEDIR and installed from there, so that it is listed in install_manifest.txt and an
# uninstall by the manifest removes it.
if(IS_ABSOLUTE "${CSVQ_BINDIR}")
  set(executable "${CSVQ_BINDIR}/csvquibbo")
else()
  set(executable "${CMAKE_INSTALL_PREFIX}/${CSVQ_BINDIR}/csvquibbo")
endif()
set(quoted "${executable}")
string(REPLACE "\\" "\\\\" quoted "${quoted}")
string(REPLACE "\"" "\\\"" quoted "${quoted}")
string(REPLACE "`" "\\`" quoted "${quoted}")
string(REPLACE "$" "\\$" quoted "${quoted}")
string(REPLACE "%" "%%" quoted "${quoted}")
set(exec "\"${quoted}\" --open %F")
string(FIND "${executable}" "%" percent)
if(NOT percent EQUAL -1)
  set(exec "env ${exec}")
endif()
string(REPLACE "\\" "\\\\" exec "${exec}")
string(REPLACE "\n" "\\n" exec "${exec}")
string(REPLACE "\t" "\\t" exec "${exec}")
string(REPLACE "\r" "\\r" exec "${exec}")
# file(INSTALL) puts $DESTDIR in front itself.
if(IS_ABSOLUTE "${CSVQ_DATADIR}")
  set(folder "${CSVQ_DATADIR}/applications")
else()
  set(folder "${CMAKE_INSTALL_PREFIX}/${CSVQ_DATADIR}/applications")
endif()
set(staged "${CSVQ_STAGEDIR}/CSVQuibboApp.Document.desktop")
file(WRITE "${staged}" "[Desktop Entry]
Type=Application
Name=CSV Quibbo
Comment=Viewer for large CSV files
Exec=${exec}
Icon=csvquibbo
Terminal=false
Categories=Office;Viewer;
X-CSVQuibbo-DocumentType=CSVQuibboApp.Document
")
file(INSTALL "${staged}" DESTINATION "${folder}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
