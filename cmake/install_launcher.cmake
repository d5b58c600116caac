# Runs at install time, from `cmake --install` or CPack: writes the launcher and the desktop
# entry for the prefix being installed to. DESTDIR is applied by file(INSTALL).

function(frimel_full_path out dir)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

frimel_full_path(bin_dir "${FRIMEL_BIN_DIR}")
frimel_full_path(data_dir "${FRIMEL_DATA_DIR}")
frimel_full_path(program_dir "${FRIMEL_PROGRAM_DIR}")
frimel_full_path(applications_dir "${FRIMEL_APPLICATIONS_DIR}")

# Launcher: relative paths first, the installed ones as fallback. Single quotes in the shell
# script need closing, escaping and reopening.
file(RELATIVE_PATH FRIMEL_DATA_FROM_BIN "${bin_dir}" "${data_dir}")
file(RELATIVE_PATH FRIMEL_PROGRAM_FROM_BIN "${bin_dir}" "${program_dir}/frimel")
string(REPLACE "'" "'\\''" FRIMEL_DATA_PATH "${data_dir}")
string(REPLACE "'" "'\\''" FRIMEL_PROGRAM_PATH "${program_dir}/frimel")
string(REPLACE "'" "'\\''" FRIMEL_DATA_FROM_BIN "${FRIMEL_DATA_FROM_BIN}")
string(REPLACE "'" "'\\''" FRIMEL_PROGRAM_FROM_BIN "${FRIMEL_PROGRAM_FROM_BIN}")

# Desktop entry: an Exec path with reserved characters is quoted with ", \, ` and $ escaped,
# then every backslash doubled and % written as %%, as the entry's string rules want.
set(exec "${bin_dir}/frimel")
if(exec MATCHES "[^A-Za-z0-9/._+-]")
  string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" exec "${exec}")
  string(REPLACE "\\" "\\\\" exec "\"${exec}\"")
endif()
string(REPLACE "%" "%%" FRIMEL_DESKTOP_EXEC "${exec}")
string(REPLACE "\\" "\\\\" FRIMEL_DESKTOP_PATH "${data_dir}")

# Each install writes into a scratch folder of its own, so installs may run side by side.
string(RANDOM LENGTH 10 scratch_name)
set(scratch "${FRIMEL_SCRATCH_DIR}/install-${scratch_name}")
configure_file("${FRIMEL_PACKAGING_DIR}/frimel.sh.in" "${scratch}/frimel" @ONLY)
configure_file("${FRIMEL_PACKAGING_DIR}/frimel.desktop.in" "${scratch}/frimel.desktop" @ONLY)
file(INSTALL "${scratch}/frimel" DESTINATION "${bin_dir}"
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
file(INSTALL "${scratch}/frimel.desktop" DESTINATION "${applications_dir}")
file(REMOVE_RECURSE "${scratch}")
