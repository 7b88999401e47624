#include "platform/platform.h"
#include "text/language_choice.h"

namespace quenfall {

std::vector<std::string> PreferredLanguages() { return text::LanguagesFromProcessEnvironment(); }

}  // namespace quenfall
