# The resources every Windows program of Quenfall carries: a manifest (its execution level
# above all), the radio icon and a version record.
#   quenfall_windows_resources(TARGET DESCRIPTION "..." MANIFEST path)
# The icon is drawn from the Linux icon's SVG at build time (rsvg-convert, icotool), so the
# two platforms show the same picture and no binary is kept in the repository.
find_program(QUENFALL_RSVG_CONVERT rsvg-convert)
find_program(QUENFALL_ICOTOOL icotool)
if(NOT QUENFALL_RSVG_CONVERT OR NOT QUENFALL_ICOTOOL)
  message(FATAL_ERROR "The Windows programs' icon needs rsvg-convert (librsvg2-bin) and icotool "
                      "(icoutils): scripts/install-deps.sh test installs them")
endif()

set(quenfall_svg "${PROJECT_SOURCE_DIR}/packaging/linux/quenfall.svg")
set(quenfall_ico "${PROJECT_BINARY_DIR}/packaging/windows/quenfall.ico")
set(quenfall_icon_sizes 16 20 24 32 40 48 64 256)
set(quenfall_icon_pngs)
foreach(size IN LISTS quenfall_icon_sizes)
  set(png "${PROJECT_BINARY_DIR}/packaging/windows/quenfall-${size}.png")
  add_custom_command(OUTPUT "${png}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${PROJECT_BINARY_DIR}/packaging/windows"
    COMMAND "${QUENFALL_RSVG_CONVERT}" -w ${size} -h ${size} -o "${png}" "${quenfall_svg}"
    DEPENDS "${quenfall_svg}" VERBATIM)
  list(APPEND quenfall_icon_pngs "${png}")
endforeach()
# The 256-pixel image is stored as PNG inside the .ico, as Windows expects for that size.
list(POP_BACK quenfall_icon_pngs quenfall_icon_large)
add_custom_command(OUTPUT "${quenfall_ico}"
  COMMAND "${QUENFALL_ICOTOOL}" -c -o "${quenfall_ico}" ${quenfall_icon_pngs} -r "${quenfall_icon_large}"
  DEPENDS ${quenfall_icon_pngs} "${quenfall_icon_large}" VERBATIM)
add_custom_target(quenfall_windows_icon DEPENDS "${quenfall_ico}")

function(quenfall_windows_resources target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "DESCRIPTION;MANIFEST" "")
  set(rc_description "${arg_DESCRIPTION}")
  set(rc_manifest "${arg_MANIFEST}")
  set(rc_icon "${quenfall_ico}")
  get_target_property(output_name ${target} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${target})
  endif()
  set(rc_internal_name "${output_name}")
  set(rc_file_name "${output_name}.exe")
  string(REPLACE "." "," rc_version_commas "${PROJECT_VERSION}.0")
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc")
  configure_file("${PROJECT_SOURCE_DIR}/packaging/windows/program.rc.in" "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
  set_source_files_properties("${rc}" PROPERTIES OBJECT_DEPENDS "${rc_manifest};${quenfall_ico}")
  add_dependencies(${target} quenfall_windows_icon)
endfunction()
