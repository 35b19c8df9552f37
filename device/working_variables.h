// CWorkingVariables: the document context of one conversion: the device
// and its configuration, the marker state, and the counters and title of
// the rewrite. Tree building reads it as its TreeContext.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/configuration.h"
#include "device/markers.h"
#include "markup/tree_context.h"

namespace quillmark {

class CXmlNode;

class CWorkingVariables : public TreeContext {
 public:
  // Counters 0, no title, the configuration's default device; the marker
  // state starts empty and takes its default-include flag from the
  // configuration snapshot.
  explicit CWorkingVariables(std::shared_ptr<const DeviceConfiguration> configuration);

  const MarkerWords& Words() const override { return configuration->markerWords; }
  void OnMarker(const CXmlObject& marker) override { processMarker(markerState, marker); }
  bool Keeps(const CXmlObject& token) override { return keepContent(markerState, token, device) != 0; }
  const char* TagReplacements() const override;
  bool KeepsLineEnds() const override;
  bool ReadsAsHtml() const override;

  // Frees the title and zeroes the counters; marker state and device stay.
  void Reset();

  int32_t cardCount = 0;
  // Some card or deck element stands inside other content, not at the top
  // of the page or of its deck.
  bool nestedCard = false;
  int32_t formCount = 0;
  int32_t tableDepth = 0;
  std::string title;
  bool hasTitle = false;
  // The page's own refresh to another page (a meta refresh with a URL):
  // its target as the page wrote it, empty for none, and its delay in
  // tenths of a second.
  std::string refreshTarget;
  int32_t refreshDelay = 0;
  // The href of the page's first `<base>` that names one, read as HTML
  // reads the page: its relative targets are resolved against it where
  // IsUsableBase allows it (ResolveUriReference); empty for none.
  std::string baseHref;
  CPrePocessControl markerState;
  const CDevice* device;  // borrowed from the configuration; may be null
  // Keeps the configuration (and so the device) alive for the conversion.
  std::shared_ptr<const DeviceConfiguration> configuration;

  const char* Title() const { return hasTitle ? title.c_str() : nullptr; }
  void SetTitle(std::string text) {
    title = std::move(text);
    hasTitle = true;
  }
};

// The working variables attached to the document of `node`, or null.
CWorkingVariables* WorkingVariablesOf(const CXmlNode* node);
// Those of the document `root`, attached first (for the current
// configuration) when there are none.
CWorkingVariables& EnsureWorkingVariables(CXmlNode* root);

}  // namespace quillmark
