#include "device/markers.h"

#include <string>

#include "base/case_folding.h"

namespace quillmark {

namespace {

constexpr int32_t kInclude = 1;
constexpr int32_t kExclude = 2;

constexpr int32_t kDecisionUnknown = 0;
constexpr int32_t kDecisionKeep = 1;
constexpr int32_t kDecisionDrop = 2;

// Region kind named by a marker record: include, exclude or 0 for none.
int32_t MarkerKind(const CXmlObject& record) {
  const char* name = record.GetName();
  if (name == nullptr) return 0;
  const MarkerWords& words = record.Words();
  if (EqualsIgnoringCase(name, words.includeStart.c_str()) ||
      EqualsIgnoringCase(name, words.includeStop.c_str())) {
    return kInclude;
  }
  if (EqualsIgnoringCase(name, words.excludeStart.c_str()) ||
      EqualsIgnoringCase(name, words.excludeStop.c_str())) {
    return kExclude;
  }
  return 0;
}

// The device list of a start marker as ",NAME,NAME,": upper case, with every
// blank, comma and semicolon turned into a comma.
std::string DeviceList(const char* value) {
  std::string list = ",";
  for (const char* c = value; *c != '\0'; ++c) {
    const bool separator = *c == ' ' || *c == ',' || *c == ';';
    list.push_back(separator ? ',' : ToUpperAscii(*c));
  }
  list.push_back(',');
  return list;
}

// True when ",name," occurs in list.
bool ListNames(const std::string& list, const std::string& name) {
  return list.find("," + name + ",") != std::string::npos;
}

void OpenRegion(CPrePocessControl& state, int32_t kind, const CXmlObject& record) {
  auto marker = std::make_unique<CPreProcObj>();
  marker->kind = kind;
  if (const char* devices = record.GetAttribute("DEVICE")) {
    marker->devices = DeviceList(devices);
    marker->hasDevices = true;
  }
  marker->prev = state.last;
  ++state.openOfKind[kind];
  CPreProcObj* added = marker.get();
  if (state.last == nullptr) {
    state.markers = std::move(marker);
  } else {
    state.last->next = std::move(marker);
  }
  state.last = added;
}

// Releases the most recently opened region. Regions are always released
// from the end, so a long chain never unwinds recursively.
void ReleaseLast(CPrePocessControl& state) {
  --state.openOfKind[state.last->kind];
  CPreProcObj* previous = state.last->prev;
  if (previous == nullptr) {
    state.markers.reset();
  } else {
    previous->next.reset();
  }
  state.last = previous;
}

// Closes the innermost open region of this kind and every region opened
// after it; without such a region nothing changes. The walk back passes
// only regions that it then releases, so closing costs time linear in the
// regions opened.
void CloseRegion(CPrePocessControl& state, int32_t kind) {
  if (state.openOfKind[kind] == 0) return;
  CPreProcObj* closing = state.last;
  while (closing != nullptr && closing->kind != kind) closing = closing->prev;
  if (closing == nullptr) return;
  const CPreProcObj* remaining = closing->prev;
  while (state.last != remaining) ReleaseLast(state);
}

// The keep decision of the open regions: the most recently opened region
// that names the device decides, else the configured default. Regions passed
// over on the way share the answer and store it, so each region is visited
// once while it stays open and a page costs time linear in its markers.
int32_t ResolveRegions(CPrePocessControl& state, const CDevice* device) {
  int32_t keep = state.defaultInclude_;
  CPreProcObj* marker = state.last;
  for (; marker != nullptr; marker = marker->prev) {
    if (marker->resolved >= 0) {
      keep = marker->resolved;
      break;
    }
    if (markerMatches(*marker, device) == 1) {
      keep = marker->kind == kInclude ? 1 : 0;
      break;
    }
  }
  for (CPreProcObj* visited = state.last; visited != marker; visited = visited->prev) {
    visited->resolved = keep;
  }
  if (marker != nullptr) marker->resolved = keep;
  return keep;
}

}  // namespace

CPrePocessControl::~CPrePocessControl() {
  while (last != nullptr) ReleaseLast(*this);
}

void processMarker(CPrePocessControl& state, const CXmlObject& record) {
  state.decision = kDecisionUnknown;
  const int32_t kind = MarkerKind(record);
  if (kind == 0) return;
  if (record.IsStopMarker() == 1) {
    CloseRegion(state, kind);
    return;
  }
  OpenRegion(state, kind, record);
}

int32_t keepContent(CPrePocessControl& state, const CXmlObject& /*record*/, const CDevice* device) {
  if (state.decision == kDecisionKeep) return 1;
  if (state.decision == kDecisionDrop) return 0;
  const int32_t keep = ResolveRegions(state, device);
  state.decision = keep == 1 ? kDecisionKeep : kDecisionDrop;
  return keep;
}

int32_t markerMatches(const CPreProcObj& marker, const CDevice* device) {
  if (!marker.hasDevices) return 1;
  // A device without a name (the built default device) is named by every list.
  if (device == nullptr || !device->hasName) return 1;
  if (ListNames(marker.devices, device->name)) return 1;
  if (device->group == nullptr) return 0;
  if (ListNames(marker.devices, device->group->name)) return 1;
  if (ListNames(marker.devices, "WAP") || ListNames(marker.devices, "*")) return 1;
  return 0;
}

}  // namespace quillmark
