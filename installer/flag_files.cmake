# cmake -DFOLDER=<the build's flag folder> -DOUT=<file> -P flag_files.cmake
# Writes OUT: the macro FOR_EACH_FLAG, one line per file of FOLDER, so that
# the uninstaller removes exactly the files the setup program installs. Run
# at build time, since the folder is rendered by the build.
file(GLOB flags RELATIVE ${FOLDER} ${FOLDER}/*)
list(SORT flags)
if(NOT flags)
  message(FATAL_ERROR "no flags in ${FOLDER}")
endif()
set(lines "")
foreach(name ${flags})
  string(REPLACE "$" "$$" name "${name}")
  string(APPEND lines "  !insertmacro \${action} \"${name}\"\n")
endforeach()
file(WRITE ${OUT} "; Made by installer/flag_files.cmake from ${FOLDER}.\n!macro FOR_EACH_FLAG action\n${lines}!macroend\n")
