#pragma once
// The per-DataFormat conversion state of one camera: conversion-library handles (shared
// between formats that use the same converter), ConvertControl values and the auto-range
// marks.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <vector>

#include "camera/ConvertControl.h"
#include "camera/Enums.h"
#include "camera/Image.h"
#include "camera/SensorInfo.h"
#include "vyk_conv.h"

namespace vyk {

/// Conversion handles and settings per DataFormat. Throws vyk::CameraException.
class ConversionSet {
 public:
  ConversionSet() = default;
  /// Deletes the owned handles, ignoring failures.
  ~ConversionSet();
  ConversionSet(const ConversionSet&) = delete;
  ConversionSet& operator=(const ConversionSet&) = delete;

  /// Builds the default settings and the handles for a colour or mono sensor of
  /// bitResolution bits, brings colour limits into the white-balance range and applies
  /// every format's settings to its handle.
  void build(bool colored, uint16_t bitResolution, const SensorInfo& info);
  /// Deletes every handle that is not shared, calling report with each non-zero result;
  /// clears the handle map. Never throws.
  void release(const std::function<void(int32_t)>& report) noexcept;

  /// True when format has a conversion handle.
  bool hasHandle(DataFormat format) const;
  /// True when format has a ConvertControl.
  bool hasControl(DataFormat format) const;
  /// Hands a new sensor description to every handle.
  void setSensorInfo(const SensorInfo& info);
  /// Writes format's ConvertControl into its handle's parameter block.
  void applySettings(DataFormat format);
  /// Brings format's limits into the range its white balance allows; true when one changed.
  bool whiteBalanceInRange(DataFormat format);
  /// format's ConvertControl, refreshed from its handle's parameter block.
  ConvertControl getControl(DataFormat format);
  /// Stores and applies format's ConvertControl; loads a pseudocolour lookup table.
  void setControl(DataFormat format, const ConvertControl& control);
  /// Marks every format for a new automatic range at its next conversion.
  void markAllAutoRangePending();
  /// Converts image's 16-bit raw pixels into its data buffer for format (Mono8 and the
  /// colour formats), with the format's flags and the colour-pattern code.
  void convert(DataFormat format, int32_t colorPattern, Image& image);

  /// The library flags for converting to format with control (base, sharpening, flip,
  /// debayering, extra flags, automatic range and channel order).
  static uint32_t conversionFlags(const ConvertControl& control, DataFormat format);
  /// The lookup-table kind of a file from the fourth character of its extension.
  static int32_t lutKind(const std::filesystem::path& file);
  /// Runs the library conversion of format on handle from image's raw buffer into its data
  /// buffer; colored picks the colour over the pseudocolour conversion.
  static void convertWith(VYKCONV_HANDLE handle, DataFormat format, bool colored, uint32_t flags,
                          int32_t colorPattern, Image& image);
  /// Sets handle's limits to the smallest and largest value of raw (lower one less when equal and not 0).
  static void autoRange(VYKCONV_HANDLE handle, const std::vector<uint16_t>& raw);

 private:
  VYKCONV_HANDLE handleOf(DataFormat format) const;
  /// True for formats that share another format's handle (BGRA8, RGB8, RGBA8, RGB16).
  static bool isShared(DataFormat format);

  bool _colored = false;                                   // colour sensor
  uint16_t _bitResolution = 16;                            // sensor bits, for white balance
  std::map<DataFormat, VYKCONV_HANDLE> _handles;           // shared formats repeat their owner's handle
  std::map<DataFormat, ConvertControl> _controls;          // settings per format
  std::map<DataFormat, bool> _autoRangePending;            // new automatic range due
};

}  // namespace vyk
