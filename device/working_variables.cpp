#include "device/working_variables.h"

#include "device/device_profile.h"
#include "markup/xml_node.h"

namespace quillmark {

CWorkingVariables::CWorkingVariables(std::shared_ptr<const DeviceConfiguration> config)
    : markerState(config->defaultInclude), device(config->defaultDevice), configuration(std::move(config)) {}

void CWorkingVariables::Reset() {
  title.clear();
  hasTitle = false;
  refreshTarget.clear();
  refreshDelay = 0;
  baseHref.clear();
  cardCount = 0;
  nestedCard = false;
  formCount = 0;
  tableDepth = 0;
}

const char* CWorkingVariables::TagReplacements() const {
  return device != nullptr ? settingsOf(device).tagReplace : "";
}

bool CWorkingVariables::KeepsLineEnds() const { return settingsOf(device).blockBreaks != 0; }

// BLOCK_BREAKS=false reads the page as the decks before the key read it.
bool CWorkingVariables::ReadsAsHtml() const { return settingsOf(device).blockBreaks != 0; }

CWorkingVariables* WorkingVariablesOf(const CXmlNode* node) {
  if (node == nullptr) return nullptr;
  return dynamic_cast<CWorkingVariables*>(node->GetRoot()->GetContext());
}

CWorkingVariables& EnsureWorkingVariables(CXmlNode* root) {
  if (CWorkingVariables* variables = WorkingVariablesOf(root)) return *variables;
  auto variables = std::make_unique<CWorkingVariables>(currentConfiguration());
  CWorkingVariables& attached = *variables;
  root->SetContext(std::move(variables));
  return attached;
}

}  // namespace quillmark
