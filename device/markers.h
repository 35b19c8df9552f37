// Device markers: comments that include or exclude page content per device.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/device_profile.h"
#include "markup/xml_object.h"

namespace quillmark {

// One open marker region.
struct CPreProcObj {
  int32_t kind = 0;           // 1 include, 2 exclude
  std::string devices;        // ",NAME,NAME," upper-cased; meaningful only when hasDevices
  bool hasDevices = false;
  // The keep decision (1 or 0) of the regions open up to and including this
  // one, once computed; -1 before. Regions change only at the end of the
  // list, so a stored decision stays valid while this region is open.
  int32_t resolved = -1;
  std::unique_ptr<CPreProcObj> next;  // the marker opened after this one (owned)
  CPreProcObj* prev = nullptr;        // the marker opened before this one
};

// The marker state of one document.
class CPrePocessControl {
 public:
  explicit CPrePocessControl(int32_t defaultInclude = 1) : defaultInclude_(defaultInclude) {}
  ~CPrePocessControl();
  CPrePocessControl(const CPrePocessControl&) = delete;
  CPrePocessControl& operator=(const CPrePocessControl&) = delete;

  std::unique_ptr<CPreProcObj> markers;  // first opened marker
  CPreProcObj* last = nullptr;           // last opened marker
  // Open regions of each kind (by kind: 1 include, 2 exclude), so that a
  // stop marker with none of its kind open does not walk the whole chain.
  int32_t openOfKind[3] = {0, 0, 0};
  // The decision since the last marker comment: 0 not yet computed, 1 keep,
  // 2 drop. Both answers stay valid until the next marker comment, since
  // neither the open regions nor the document's device change before it.
  int32_t decision = 0;
  int32_t defaultInclude_;
};

// Updates the state from a marker comment (GetMarkerKind 1 or 2).
void processMarker(CPrePocessControl& state, const CXmlObject& record);
// 1 when the token is kept for the device, else 0.
int32_t keepContent(CPrePocessControl& state, const CXmlObject& record, const CDevice* device);
// 1 when the marker applies to the device.
int32_t markerMatches(const CPreProcObj& marker, const CDevice* device);

}  // namespace quillmark
