// Fuzz target: the JSON forms of every camera record. The first byte picks the record, the
// rest is JSON text. A record either fails to read with the JSON library's exception or a
// vyk::CameraException, or it reads, and then writing it and reading that back must give
// the same JSON again (whatever the input's widths, NaNs or unknown enumeration strings).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "camera/AutoExposure.h"
#include "camera/Binning.h"
#include "camera/CameraException.h"
#include "camera/CompressionParams.h"
#include "camera/Configuration.h"
#include "camera/ConvertControl.h"
#include "camera/Description.h"
#include "camera/DeviceEntry.h"
#include "camera/Enums.h"
#include "camera/ImageMetadata.h"
#include "camera/ImageTimestamp.h"
#include "camera/RamAllocation.h"
#include "camera/RemoteError.h"
#include "camera/Roi.h"
#include "camera/SensorInfo.h"

namespace {

using nlohmann::json;

// Reads input as Record; when it reads, its written form must read back to the same form.
template <typename Record>
void roundTrip(const json& input) {
  Record record{};
  try {
    record = input.get<Record>();
  } catch (const json::exception&) {
    return;  // refused with the library's error: the documented outcome
  } catch (const vyk::CameraException&) {
    return;
  }
  const json written = record;
  const Record again = written.get<Record>();  // must not throw: we wrote it ourselves
  const json rewritten = again;
  if (written.dump() != rewritten.dump()) {
    std::fprintf(stderr, "round trip differs:\n%s\n%s\n", written.dump().c_str(), rewritten.dump().c_str());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const json input = json::parse(data + 1, data + size, nullptr, false);
  if (input.is_discarded()) return 0;
  switch (data[0] % 20) {
    case 0: roundTrip<vyk::Configuration>(input); break;
    case 1: roundTrip<vyk::Description>(input); break;
    case 2: roundTrip<vyk::ConvertControl>(input); break;
    case 3: roundTrip<vyk::Roi>(input); break;
    case 4: roundTrip<vyk::Binning>(input); break;
    case 5: roundTrip<vyk::AutoExposure>(input); break;
    case 6: roundTrip<vyk::CompressionParams>(input); break;
    case 7: roundTrip<vyk::ImageMetadata>(input); break;
    case 8: roundTrip<vyk::ImageTimestamp>(input); break;
    case 9: roundTrip<vyk::SensorInfo>(input); break;
    case 10: roundTrip<vyk::RamAllocation>(input); break;
    case 11: roundTrip<std::vector<vyk::RamAllocation>>(input); break;
    case 12: roundTrip<vyk::DeviceEntry>(input); break;
    case 13: roundTrip<std::vector<vyk::DeviceEntry>>(input); break;
    case 14: roundTrip<vyk::RemoteError>(input); break;
    case 15: roundTrip<vyk::DataFormat>(input); break;
    case 16: roundTrip<vyk::RecordMode>(input); break;
    case 17: roundTrip<vyk::InterfaceType>(input); break;
    case 18: roundTrip<vyk::RawFormat>(input); break;
    default: roundTrip<vyk::AutoExposureRegion>(input); break;
  }
  return 0;
}
