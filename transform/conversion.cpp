#include "transform/conversion.h"

namespace quillmark {

Conversion::Conversion(CXmlNode& root, CWorkingVariables& variables)
    : root_(root),
      variables_(variables),
      settings_(settingsOf(variables.device)),
      references_(ReferenceModeOf(settings_)) {}

Conversion Conversion::Of(CXmlNode& root) { return Conversion(root, EnsureWorkingVariables(&root)); }

}  // namespace quillmark
