# The rule files of the built-in sites (data/sites/*.toml), compiled into the
# program as its fallback: writes OUT, a C++ file holding each file's text.
function(talvenor_builtin_sites out)
  file(GLOB files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/sites/*.toml)
  list(SORT files)
  set(body "")
  foreach(f ${files})
    file(READ ${f} text)
    get_filename_component(name ${f} NAME)
    string(APPEND body "        {\"${name}\", R\"talvenor_rule(${text})talvenor_rule\"},\n")
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${files})
  file(CONFIGURE OUTPUT ${out} CONTENT "// Generated from data/sites/*.toml at configure time; do not edit.
#include \"catalogue/site_rules.h\"

namespace talvenor::rules {

const std::vector<std::pair<std::string, std::string>>& BuiltinRuleFiles() {
    static const std::vector<std::pair<std::string, std::string>> files = {
${body}    };
    return files;
}

}  // namespace talvenor::rules
" @ONLY)
endfunction()
