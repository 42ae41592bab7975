# Run by `cmake --install`: writes share/applications/CSVQuibboApp.Document.desktop for the
# executable installed under the prefix. The Exec line quotes the path as DesktopEntry.cpp does:
# '"', '`', '$' and backslashes escaped inside double quotes, '%' doubled, then the whole value
# escaped as a string (backslashes doubled, control characters as \n, \t, \r).
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
string(REPLACE "\\" "\\\\" exec "${exec}")
string(REPLACE "\n" "\\n" exec "${exec}")
string(REPLACE "\t" "\\t" exec "${exec}")
string(REPLACE "\r" "\\r" exec "${exec}")
if(IS_ABSOLUTE "${CSVQ_DATADIR}")
  set(folder "$ENV{DESTDIR}${CSVQ_DATADIR}/applications")
else()
  set(folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${CSVQ_DATADIR}/applications")
endif()
set(entry "${folder}/CSVQuibboApp.Document.desktop")
message(STATUS "Installing: ${entry}")
file(MAKE_DIRECTORY "${folder}")
file(WRITE "${entry}" "[Desktop Entry]
Type=Application
Name=CSV Quibbo
Comment=Viewer for large CSV files
Exec=${exec}
Icon=csvquibbo
Terminal=false
Categories=Office;Viewer;
X-CSVQuibbo-DocumentType=CSVQuibboApp.Document
")
