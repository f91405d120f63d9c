#include "camera/ConversionSet.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <system_error>

#include "camera/CameraException.h"

namespace vyk {

namespace {

constexpr uint32_t kInvalid = 0xa0163001u;

// Formats whose converted data is 8-bit colour, in the camera's list order.
constexpr DataFormat kColor8[] = {DataFormat::BGR8, DataFormat::BGRA8, DataFormat::RGB8, DataFormat::RGBA8};

bool isColor8(DataFormat format) {
  return std::find(std::begin(kColor8), std::end(kColor8), format) != std::end(kColor8);
}

// A double for a 32-bit library field: truncated; NaN gives 0 and out-of-range values
// saturate, so no undefined conversion can happen (the library then refuses bad values).
int32_t toLibraryInt(double value) {
  if (std::isnan(value)) return 0;
  const double t = std::trunc(value);
  if (t >= 2147483647.0) return INT32_MAX;
  if (t <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(t);
}

ConvertControlBase defaultCommon() {
  ConvertControlBase c;
  c.sharpen = true;
  c.adaptive_sharpen = true;
  c.flip_vertical = true;
  c.auto_minmax = true;
  c.add_conv_flags = 0;
  c.min_limit = 0;
  c.max_limit = 20000;
  c.gamma = 1.0;
  c.contrast = 0;
  return c;
}

ConvertControl defaultMono() {
  ConvertControlMono c;
  static_cast<ConvertControlBase&>(c) = defaultCommon();
  return c;
}

ConvertControl defaultColor() {
  ConvertControlColor c;
  static_cast<ConvertControlBase&>(c) = defaultCommon();
  c.vyk_debayer_algorithm = false;
  c.color_temperature = 6500;
  return c;
}

ConvertControl defaultPseudocolor() {
  ConvertControlPseudocolor c;
  static_cast<ConvertControlBase&>(c) = defaultCommon();
  c.color_temperature = 6500;
  return c;
}

VYKCONV_Params readParams(VYKCONV_HANDLE handle) {
  VYKCONV_Params params;
  std::memset(&params, 0, sizeof(params));
  params.wSize = sizeof(VYKCONV_Params);
  throwIfFailed(VYKCONV_GetParams(handle, &params));
  return params;
}

// The colour fields every colour and pseudocolour alternative carries.
struct ColorFields {
  int32_t* temperature;
  int32_t* saturation;
  int32_t* vibrance;
  int32_t* tint;
};

// The colour fields of control, or none for a mono control.
bool colorFieldsOf(ConvertControl& control, ColorFields& out) {
  if (auto* c = std::get_if<ConvertControlColor>(&control)) {
    out = {&c->color_temperature, &c->color_saturation, &c->color_vibrance, &c->color_tint};
    return true;
  }
  if (auto* p = std::get_if<ConvertControlPseudocolor>(&control)) {
    out = {&p->color_temperature, &p->color_saturation, &p->color_vibrance, &p->color_tint};
    return true;
  }
  return false;
}

}  // namespace

ConversionSet::~ConversionSet() {
  release([](int32_t) {});
}

bool ConversionSet::isShared(DataFormat format) {
  return format == DataFormat::BGRA8 || format == DataFormat::RGB8 || format == DataFormat::RGBA8 ||
         format == DataFormat::RGB16;
}

void ConversionSet::build(bool colored, uint16_t bitResolution, const SensorInfo& info) {
  _colored = colored;
  _bitResolution = bitResolution;
  _controls.clear();
  _autoRangePending.clear();

  _controls[DataFormat::Mono8] = defaultMono();
  if (colored) {
    for (DataFormat f : {DataFormat::BGR8, DataFormat::BGR16, DataFormat::BGRA8, DataFormat::RGB8,
                         DataFormat::RGBA8, DataFormat::RGB16}) {
      _controls[f] = defaultColor();
    }
  } else {
    for (DataFormat f : kColor8) _controls[f] = defaultPseudocolor();
  }
  for (const auto& entry : _controls) _autoRangePending[entry.first] = true;

  VYK_SensorInfo libraryInfo;
  std::memcpy(&libraryInfo, &info, sizeof(libraryInfo));
  auto create = [&](DataFormat format, int32_t mode) {
    VYKCONV_HANDLE handle = nullptr;
    throwIfFailed(VYKCONV_CreateHandle(&handle, &libraryInfo, mode));
    _handles[format] = handle;
  };
  create(DataFormat::Mono8, VYKCONV_MODE_MONO);
  create(DataFormat::BGR8, colored ? VYKCONV_MODE_COLOR : VYKCONV_MODE_PSEUDOCOLOR);
  for (DataFormat f : {DataFormat::BGRA8, DataFormat::RGB8, DataFormat::RGBA8}) {
    _handles[f] = _handles[DataFormat::BGR8];
  }
  if (colored) {
    create(DataFormat::BGR16, VYKCONV_MODE_COLOR16);
    _handles[DataFormat::RGB16] = _handles[DataFormat::BGR16];
    for (DataFormat f : kColor8) whiteBalanceInRange(f);
  }
  for (const auto& entry : _handles) applySettings(entry.first);
}

void ConversionSet::release(const std::function<void(int32_t)>& report) noexcept {
  for (const auto& entry : _handles) {
    if (isShared(entry.first) || entry.second == nullptr) continue;
    const int32_t result = VYKCONV_DeleteHandle(entry.second);
    if (result != VYK_NOERROR) {
      try {
        report(result);
      } catch (...) {
        // Reporting is best effort; releasing must go on.
      }
    }
  }
  _handles.clear();
}

bool ConversionSet::hasHandle(DataFormat format) const { return handleOf(format) != nullptr; }

bool ConversionSet::hasControl(DataFormat format) const { return _controls.count(format) != 0; }

VYKCONV_HANDLE ConversionSet::handleOf(DataFormat format) const {
  const auto it = _handles.find(format);
  return it == _handles.end() ? nullptr : it->second;
}

void ConversionSet::setSensorInfo(const SensorInfo& info) {
  VYK_SensorInfo libraryInfo;
  std::memcpy(&libraryInfo, &info, sizeof(libraryInfo));
  for (const auto& entry : _handles) {
    if (isShared(entry.first) || entry.second == nullptr) continue;
    throwIfFailed(VYKCONV_SetSensorInfo(entry.second, &libraryInfo));
  }
}

void ConversionSet::applySettings(DataFormat format) {
  VYKCONV_HANDLE handle = handleOf(format);
  if (handle == nullptr) throw CameraException("Data format is not supported by the camera!", kInvalid);
  const auto it = _controls.find(format);
  if (it == _controls.end()) return;  // a handle without settings keeps the library's own
  ConvertControl& control = it->second;
  const ConvertControlBase& common = commonFields(control);

  VYKCONV_Params params = readParams(handle);
  params.iGamma = toLibraryInt(common.gamma * 100.0);
  params.iContrast = common.contrast;
  if (!common.auto_minmax) {
    params.iMinLimit = common.min_limit;
    params.iMaxLimit = common.max_limit;
  }
  ColorFields color{};
  if (colorFieldsOf(control, color)) {
    params.iColorTemperature = *color.temperature;
    params.iColorSaturation = *color.saturation;
    params.iColorVibrance = *color.vibrance;
    params.iColorTint = *color.tint;
  }
  throwIfFailed(VYKCONV_SetParams(handle, &params));
}

bool ConversionSet::whiteBalanceInRange(DataFormat format) {
  if (!_colored || !isColor8(format)) return false;
  const auto it = _controls.find(format);
  VYKCONV_HANDLE handle = handleOf(format);
  if (it == _controls.end() || handle == nullptr) return false;
  auto* color = std::get_if<ConvertControlColor>(&it->second);
  if (color == nullptr) return false;

  double gains[3] = {1.0, 1.0, 1.0};
  throwIfFailed(VYKCONV_GetWhiteBalanceRanges(handle, color->color_temperature, color->color_tint, &gains[0],
                                              &gains[1], &gains[2]));
  const double gmax = *std::max_element(std::begin(gains), std::end(gains));
  const double gmin = *std::min_element(std::begin(gains), std::end(gains));
  if (!(gmax > 0.0) || !std::isfinite(gmax) || !std::isfinite(gmin)) return false;

  const int64_t full = (int64_t{1} << std::min<uint16_t>(_bitResolution, 32)) - 1;
  const int64_t minLimit = color->min_limit;
  const int64_t maxLimit = color->max_limit;
  // U: the largest limit whose brightest channel still fits; t: the limit seen by the
  // weakest channel; L and M keep the mapped range from collapsing.
  const int64_t upper = static_cast<int64_t>(std::trunc(static_cast<double>(full) / gmax));
  const int64_t t = static_cast<int64_t>(std::trunc(static_cast<double>(maxLimit) * gmin));
  const int64_t lower = minLimit - t + maxLimit;
  const int64_t minCeiling = t < minLimit ? minLimit + 1 : t;

  int64_t newMax = maxLimit;
  int64_t newMin = minLimit;
  if (newMax > upper) newMax = upper;
  if (newMax < lower) newMax = lower;
  if (newMin > minCeiling) newMin = minCeiling;
  auto clamp32 = [](int64_t v) {
    return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(v, INT32_MIN), INT32_MAX));
  };
  const bool changed = newMax != maxLimit || newMin != minLimit;
  color->max_limit = clamp32(newMax);
  color->min_limit = clamp32(newMin);
  return changed;
}

ConvertControl ConversionSet::getControl(DataFormat format) {
  VYKCONV_HANDLE handle = handleOf(format);
  if (handle == nullptr) throw CameraException("Data format is not supported by the camera!", kInvalid);
  const auto it = _controls.find(format);
  if (it == _controls.end()) {
    throw CameraException("DataFormat is not valid for this camera type!", CameraException::kLayerError);
  }
  const VYKCONV_Params params = readParams(handle);
  ConvertControl& control = it->second;
  ConvertControlBase& common = commonFields(control);
  common.gamma = params.iGamma / 100.0;
  common.min_limit = params.iMinLimit;
  common.max_limit = params.iMaxLimit;
  common.contrast = params.iContrast;
  ColorFields color{};
  if (colorFieldsOf(control, color)) {
    *color.temperature = params.iColorTemperature;
    *color.saturation = params.iColorSaturation;
    *color.vibrance = params.iColorVibrance;
    *color.tint = params.iColorTint;
  }
  return control;
}

void ConversionSet::setControl(DataFormat format, const ConvertControl& control) {
  const auto it = _controls.find(format);
  if (it == _controls.end()) throw CameraException("DataFormat is not valid for this camera type!", kInvalid);
  if (it->second.index() != control.index()) {
    throw CameraException("ConvertControl struct does not fit to the DataFormat!", kInvalid);
  }
  if (const auto* pseudo = std::get_if<ConvertControlPseudocolor>(&control)) {
    if (!pseudo->lut_file.empty()) {
      std::error_code error;
      if (!std::filesystem::exists(pseudo->lut_file, error)) {
        throw CameraException("LUT file does not exist!", 0xa0163018u);
      }
      VYKCONV_HANDLE handle = handleOf(format);
      if (handle == nullptr) throw CameraException("Data format is not supported by the camera!", kInvalid);
      // The library takes a path in the local 8-bit code page.
      const std::string path = pseudo->lut_file.string();
      throwIfFailed(VYKCONV_LoadLut(handle, lutKind(pseudo->lut_file), path.c_str()));
    }
  }
  it->second = control;
  whiteBalanceInRange(format);
  applySettings(format);
}

void ConversionSet::markAllAutoRangePending() {
  for (auto& entry : _autoRangePending) entry.second = true;
}

void ConversionSet::convert(DataFormat format, int32_t colorPattern, Image& image) {
  VYKCONV_HANDLE handle = handleOf(format);
  if (handle == nullptr) throw CameraException("Data format is not supported by the camera!", kInvalid);
  const auto it = _controls.find(format);
  if (it == _controls.end()) throw CameraException("ConvertControl not available for this DataFormat!", kInvalid);

  const uint32_t flags = conversionFlags(it->second, format);
  if (commonFields(it->second).auto_minmax) {
    bool& pending = _autoRangePending[format];
    if (pending) {
      autoRange(handle, image.rawData16());
      pending = false;
    }
    if (whiteBalanceInRange(format)) applySettings(format);
  }
  convertWith(handle, format, _colored, flags, colorPattern, image);
}

uint32_t ConversionSet::conversionFlags(const ConvertControl& control, DataFormat format) {
  const ConvertControlBase& common = commonFields(control);
  uint32_t flags = VYKCONV_FLAG_BASE;
  if (common.sharpen) flags |= VYKCONV_FLAG_SHARPEN;
  if (common.adaptive_sharpen) flags |= VYKCONV_FLAG_ADAPTIVE_SHARPEN;
  if (common.flip_vertical) flags |= VYKCONV_FLAG_FLIP_VERTICAL;
  if (const auto* color = std::get_if<ConvertControlColor>(&control)) {
    if (color->vyk_debayer_algorithm) flags |= VYKCONV_FLAG_EDGE_DEMOSAIC;
  }
  flags |= static_cast<uint32_t>(common.add_conv_flags);
  if (common.auto_minmax) flags |= VYKCONV_FLAG_AUTO_MINMAX;
  switch (format) {
    case DataFormat::RGB8:
    case DataFormat::RGB16: flags |= VYKCONV_FLAG_RGB; break;
    case DataFormat::BGRA8: flags |= VYKCONV_FLAG_BGRA; break;
    case DataFormat::RGBA8: flags |= VYKCONV_FLAG_RGBA; break;
    default: break;
  }
  return flags;
}

int32_t ConversionSet::lutKind(const std::filesystem::path& file) {
  const std::string extension = file.extension().string();  // begins with the dot
  const char c = extension.size() >= 4 ? extension[3] : '\0';
  switch (c) {
    case '1': return VYKCONV_LUT_CONTROL_POINTS;
    case '2': return VYKCONV_LUT_INTERLEAVED_BINARY;
    case '3': return VYKCONV_LUT_TEXT;
    case '4': return VYKCONV_LUT_PLANAR_BINARY;
    default: return VYKCONV_LUT_TEXT;
  }
}

void ConversionSet::convertWith(VYKCONV_HANDLE handle, DataFormat format, bool colored, uint32_t flags,
                                int32_t colorPattern, Image& image) {
  const auto w = static_cast<int32_t>(image.width());
  const auto h = static_cast<int32_t>(image.height());
  const std::vector<uint16_t>& raw = image.rawData16();
  switch (format) {
    case DataFormat::Mono8: {
      auto& dst = image.data8();
      throwIfFailed(VYKCONV_ConvertMono8(handle, flags, colorPattern, w, h, raw.data(), raw.size(), dst.data(),
                                         dst.size()));
      return;
    }
    case DataFormat::BGR8:
    case DataFormat::BGRA8:
    case DataFormat::RGB8:
    case DataFormat::RGBA8: {
      auto& dst = image.data8();
      const auto convert = colored ? VYKCONV_ConvertColor8 : VYKCONV_ConvertPseudo8;
      throwIfFailed(convert(handle, flags, colorPattern, w, h, raw.data(), raw.size(), dst.data(), dst.size()));
      return;
    }
    case DataFormat::RGB16:
    case DataFormat::BGR16: {
      auto& dst = image.data16();
      throwIfFailed(VYKCONV_ConvertColor16(handle, flags, colorPattern, w, h, raw.data(), raw.size(), dst.data(),
                                           dst.size()));
      return;
    }
    default:
      throw CameraException("Data format is not supported by the camera!", kInvalid);
  }
}

void ConversionSet::autoRange(VYKCONV_HANDLE handle, const std::vector<uint16_t>& raw) {
  if (raw.empty()) return;
  const auto [lowest, highest] = std::minmax_element(raw.begin(), raw.end());
  int32_t lower = *lowest;
  const int32_t upper = *highest;
  if (lower == upper && lower != 0) lower -= 1;
  VYKCONV_Params params = readParams(handle);
  params.iMinLimit = lower;
  params.iMaxLimit = upper;
  throwIfFailed(VYKCONV_SetParams(handle, &params));
}

}  // namespace vyk
