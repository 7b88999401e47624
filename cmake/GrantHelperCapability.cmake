# Run by 'cmake --install' after the radio helper is in place. As root, installing straight
# into the system (no DESTDIR), it grants the helper CAP_SYS_RAWIO; otherwise it prints the
# one command that does (a package grants it in its post-install instead: file
# capabilities do not survive in a staging folder's archive).
if(IS_ABSOLUTE "${QUENFALL_HELPER_DESTINATION}")
  set(installed "${QUENFALL_HELPER_DESTINATION}/quenfall-radio-helper")
else()
  set(installed "${CMAKE_INSTALL_PREFIX}/${QUENFALL_HELPER_DESTINATION}/quenfall-radio-helper")
endif()
set(helper "$ENV{DESTDIR}${installed}")
# Into a DESTDIR the command names the helper where it will end up.
set(command "setcap cap_sys_rawio+ep ${installed}")

execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
find_program(setcap_program setcap PATHS /usr/sbin /sbin)
if("$ENV{DESTDIR}" STREQUAL "" AND uid STREQUAL "0" AND setcap_program)
  execute_process(COMMAND ${setcap_program} cap_sys_rawio+ep ${helper} RESULT_VARIABLE rc)
  if(rc EQUAL 0)
    message(STATUS "Granted CAP_SYS_RAWIO to the radio helper: ${helper}")
    return()
  endif()
  message(WARNING "Could not grant CAP_SYS_RAWIO to the radio helper")
endif()
message(STATUS "The radio helper needs CAP_SYS_RAWIO where a radio has no SCSI generic node; "
               "grant it with: sudo ${command}")
