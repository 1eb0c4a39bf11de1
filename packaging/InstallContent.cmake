# Runs at install time, after the programs are in place: the default content
# under share/halvoren/, the launcher's icon, and the launcher itself, which
# names the installed paths (so it is written here, once the prefix is known).
# HLV_CONTENT_TOOL and HLV_PACKAGING_DIR come from the install rules.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(content "${root}/share/halvoren")
set(iconDir "${root}/share/icons/hicolor/128x128/apps")
set(launcherDir "${root}/share/applications")

if(CMAKE_INSTALL_PREFIX MATCHES "[\\\n]")
  message(FATAL_ERROR "${CMAKE_INSTALL_PREFIX}: a desktop launcher cannot name a path with a backslash or a line break")
endif()

message(STATUS "Making the default content: ${content}")
file(REMOVE_RECURSE "${content}/data")
execute_process(COMMAND "${HLV_CONTENT_TOOL}" --out "${content}" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "halvoren-content could not write ${content}")
endif()
file(MAKE_DIRECTORY "${iconDir}" "${launcherDir}")
execute_process(COMMAND "${HLV_CONTENT_TOOL}" --icon "${iconDir}/halvoren.png" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "halvoren-content could not write ${iconDir}/halvoren.png")
endif()

# Exec's argument is quoted, so ", `, $ take a backslash (itself escaped once
# more by the string rules) and % is doubled.
set(HLV_EXEC "${CMAKE_INSTALL_PREFIX}/bin/halvoren")
foreach(special "\"" "`" "$")
  string(REPLACE "${special}" "\\\\${special}" HLV_EXEC "${HLV_EXEC}")
endforeach()
string(REPLACE "%" "%%" HLV_EXEC "${HLV_EXEC}")
set(HLV_CONTENT_DIR "${CMAKE_INSTALL_PREFIX}/share/halvoren")
# A full path, so the icon shows wherever the prefix is.
set(HLV_ICON "${CMAKE_INSTALL_PREFIX}/share/icons/hicolor/128x128/apps/halvoren.png")
configure_file("${HLV_PACKAGING_DIR}/halvoren.desktop.in" "${launcherDir}/halvoren.desktop" @ONLY)
message(STATUS "Installing: ${launcherDir}/halvoren.desktop")

file(GLOB_RECURSE made "${content}/*")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES ${made} "${iconDir}/halvoren.png" "${launcherDir}/halvoren.desktop")
