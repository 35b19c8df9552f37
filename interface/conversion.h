// The conversion driver behind the exported entry point.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "device/configuration.h"
#include "transform/deck_splitter.h"

namespace quillmark {

// Converts `pageLength` bytes of `page` for the device that `deviceText`
// selects in `configuration`, and writes the deck, zero-terminated, to
// `output` when it fits in `capacity` bytes. Returns the written length, or
// 0 when it does not fit (then nothing is written). Throws only when memory
// runs out.
// `hostCharset` is the page's charset as the host knows it (from its HTTP
// answer, say); null or empty when it knows none.
int32_t ConvertPage(const std::shared_ptr<const DeviceConfiguration>& configuration,
                    const char* deviceText, const char* page, int32_t pageLength, char* output,
                    int32_t capacity, const char* hostCharset = nullptr);

// What a host asks of one conversion beside the page and the device.
struct DeckRequest {
  std::string_view hostCharset;  // the page's charset as the host knows it; empty when unknown
  bool compiled = false;         // WMLC instead of WML text
  int32_t part = 1;              // which part of a deck cut to its device's limits, from 1
  PartLinks links;               // where the host serves the parts
};

// One part of a page's deck.
struct DeckAnswer {
  std::string bytes;  // the part, in the form asked for
  int32_t parts = 1;  // how many parts the page's deck has
  bool found = false; // false when the page has no part of the number asked for
};

// The part of the page's deck that `request` asks for, cut to the limits of
// the device that `deviceText` selects.
DeckAnswer MakeDeckPart(const std::shared_ptr<const DeviceConfiguration>& configuration, const char* deviceText,
                        std::string_view page, const DeckRequest& request);

// Every part of the page's deck, in order, in the form `request` asks for
// (its part number is not read): the page is converted and cut once.
std::vector<std::string> MakeDeckParts(const std::shared_ptr<const DeviceConfiguration>& configuration,
                                       const char* deviceText, std::string_view page, const DeckRequest& request);

// Converts like MakeDeckPart and writes the answer to `output` when it fits
// in `capacity` bytes: text with a terminating zero, WMLC exactly. Returns
// the written length, or 0 when it does not fit or there is no such part
// (then nothing is written); stores the number of parts into `partCount`
// unless that is null.
int32_t ConvertPart(const std::shared_ptr<const DeviceConfiguration>& configuration, const char* deviceText,
                    const char* page, int32_t pageLength, const DeckRequest& request, char* output,
                    int32_t capacity, int32_t* partCount);

// Converts like MakeDeckParts and writes every part to `output`, one after
// another (text parts each with a terminating zero, WMLC ones exactly),
// with the offset just past each part in `partEnds`, when all parts fit in
// `capacity` bytes and `partSlots` offsets. Returns the written length, or
// 0 when they do not fit (then nothing is written). Stores the number of
// parts into `partCount` (never null) either way.
int32_t ConvertParts(const std::shared_ptr<const DeviceConfiguration>& configuration, const char* deviceText,
                     const char* page, int32_t pageLength, const DeckRequest& request, char* output,
                     int32_t capacity, int32_t* partEnds, int32_t partSlots, int32_t* partCount);

// The link pattern of the parts when the host gives none.
inline constexpr char kDefaultPartLink[] = "?qm-part={n}";

// The whole deck for `page`, in the encoding its XML declaration names.
// Throws only when memory runs out.
std::string MakeDeck(const std::shared_ptr<const DeviceConfiguration>& configuration, const char* deviceText,
                     std::string_view page, std::string_view hostCharset);

// MakeDeck for a device already found.
std::string MakeDeckFor(const std::shared_ptr<const DeviceConfiguration>& configuration, const CDevice* device,
                        std::string_view page, std::string_view hostCharset);

}  // namespace quillmark
