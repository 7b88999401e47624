# Builds the translations (po/*.po) into the programs as constant data, so that one
# executable stays one file and a language works without a system locale for it. Adding or
# editing a catalogue re-runs the configure step.
file(GLOB _quenfall_catalogues CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/po/*.po")
list(SORT _quenfall_catalogues)
set(_quenfall_arrays "")
set(_quenfall_entries "")
foreach(_po IN LISTS _quenfall_catalogues)
  get_filename_component(_language "${_po}" NAME_WE)
  file(READ "${_po}" _hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
  # Bytes, not chars: UTF-8's bytes above 0x7f do not narrow into a signed char.
  string(APPEND _quenfall_arrays "constexpr unsigned char Catalogue_${_language}[] = {${_bytes}0};\n")
  string(APPEND _quenfall_entries
         "        {\"${_language}\", {reinterpret_cast<const char*>(Catalogue_${_language}), sizeof Catalogue_${_language} - 1}},\n")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_po}")
endforeach()
if(_quenfall_entries STREQUAL "")
  set(_quenfall_list "std::span<const EmbeddedCatalogue>()")
else()
  set(_quenfall_list "[] {\n    static const EmbeddedCatalogue catalogues[] = {\n${_quenfall_entries}    };\n    return std::span<const EmbeddedCatalogue>(catalogues);\n}()")
endif()
set(QUENFALL_CATALOGUES_CPP "${CMAKE_CURRENT_BINARY_DIR}/generated/embedded_catalogues.cpp")
file(CONFIGURE OUTPUT "${QUENFALL_CATALOGUES_CPP}" CONTENT
"// Made by the build from po/*.po; do not edit.
#include \"text/embedded_catalogues.h\"

namespace quenfall::text {

namespace {
@_quenfall_arrays@}  // namespace

std::span<const EmbeddedCatalogue> EmbeddedCatalogues() { return @_quenfall_list@; }

}  // namespace quenfall::text
" @ONLY)

# The template translators start from, extracted from the sources by every build where
# xgettext is installed (po/update.sh merges it into the catalogues).
find_program(QUENFALL_XGETTEXT xgettext)
if(QUENFALL_XGETTEXT)
  file(GLOB_RECURSE _quenfall_text_sources CONFIGURE_DEPENDS
       "${PROJECT_SOURCE_DIR}/src/*.cpp" "${PROJECT_SOURCE_DIR}/src/*.h")
  list(SORT _quenfall_text_sources)
  set(QUENFALL_POT "${CMAKE_CURRENT_BINARY_DIR}/po/quenfall.pot")
  add_custom_command(OUTPUT "${QUENFALL_POT}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/po"
    COMMAND bash "${PROJECT_SOURCE_DIR}/po/extract.sh" "${QUENFALL_POT}"
    DEPENDS ${_quenfall_text_sources} "${PROJECT_SOURCE_DIR}/po/extract.sh"
    COMMENT "Extracting the texts to translate"
    VERBATIM)
  add_custom_target(pot ALL DEPENDS "${QUENFALL_POT}")
endif()
