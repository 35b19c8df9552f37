#include "markup/working_variables.h"

namespace quillmark {

CWorkingVariables::CWorkingVariables(std::shared_ptr<const DeviceConfiguration> config)
    : markerState(config->defaultInclude), configuration(std::move(config)) {}

void CWorkingVariables::Reset() {
  title.clear();
  hasTitle = false;
  cardCount = 0;
  formCount = 0;
  tableDepth = 0;
}

}  // namespace quillmark
