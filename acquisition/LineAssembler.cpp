#include "acquisition/LineAssembler.h"

#include <algorithm>
#include <variant>
#include <vector>

namespace {

/// Copies the first row (rowElements elements) of source into row `row` of target; nothing
/// when source holds another element width or either buffer is too small.
template <typename T>
void copyBufferRow(const vyk::PixelBuffer& source, std::vector<T>& target, std::size_t row,
                   std::size_t rowElements) {
  const auto* from = std::get_if<std::vector<T>>(&source);
  if (from == nullptr || from->size() < rowElements || target.size() < (row + 1) * rowElements) return;
  std::copy_n(from->begin(), rowElements, target.begin() + static_cast<std::ptrdiff_t>(row * rowElements));
}

}  // namespace

void LineAssembler::begin(const vyk::Image& line, uint32_t linesPerFrame) {
  _started = false;
  _width = static_cast<uint32_t>(line.width());
  _linesPerFrame = std::max<uint32_t>(linesPerFrame, 1);
  _format = line.format();
  _rawFormat = vyk::elementBits(line.raw()) == 8 ? vyk::RawFormat::Byte : vyk::RawFormat::Word;
  _linesFilled = 0;
  blankFrame();
  _started = true;
  copyRow(line);
}

int LineAssembler::addLine(const vyk::Image& line) {
  if (!_started) return kNotStarted;
  if (!fits(line)) return kMismatch;
  if (_linesFilled >= _linesPerFrame) return kFull;
  copyRow(line);
  return _linesFilled >= _linesPerFrame ? kFull : kCopied;
}

vyk::Image LineAssembler::takeFrame() {
  vyk::Image frame = _frame;
  _linesFilled = 0;
  blankFrame();
  return frame;
}

std::optional<vyk::Image> LineAssembler::feed(const vyk::Image& line, uint32_t linesPerFrame) {
  int result = kNotStarted;
  if (_started) result = addLine(line);
  if (result == kNotStarted || result == kMismatch) {
    // A change of format or width discards the partial frame.
    begin(line, linesPerFrame);
    // A one-line frame is full at once.
    if (_linesFilled >= _linesPerFrame) return takeFrame();
    return std::nullopt;
  }
  if (result == kFull) return takeFrame();
  return std::nullopt;
}

bool LineAssembler::fits(const vyk::Image& line) const {
  if (line.format() != _format || line.width() != _width) return false;
  // A line whose raw pixel width changed (another pixel format) cannot share the frame.
  return vyk::elementBits(line.raw()) == vyk::elementBits(_frame.raw());
}

void LineAssembler::blankFrame() {
  _frame = vyk::Image();
  _frame.reshape(vyk::Roi{1, 1, _width, _linesPerFrame}, _format, _rawFormat);
}

void LineAssembler::copyRow(const vyk::Image& line) {
  const std::size_t row = _linesFilled;
  // Raw pixels travel for the mono formats only; the converted data of every format. Rows
  // of the data buffer are padded as the format requires, so the row stride is the padded
  // row length rather than the bare width.
  if (_format == vyk::DataFormat::Mono8 || _format == vyk::DataFormat::Mono16) {
    if (_rawFormat == vyk::RawFormat::Byte) {
      copyBufferRow(line.raw(), _frame.rawData8(), row, _width);
    } else {
      copyBufferRow(line.raw(), _frame.rawData16(), row, _width);
    }
  }
  // A frame whose raw buffer carries the image has no data buffer; otherwise data8/data16
  // name the data buffer itself.
  const std::size_t dataRow = vyk::dataElementCount(_format, _width, 1);
  if (vyk::elementCount(_frame.data()) > 0) {
    if (vyk::elementBits(_frame.data()) == 8) {
      copyBufferRow(line.data(), _frame.data8(), row, dataRow);
    } else {
      copyBufferRow(line.data(), _frame.data16(), row, dataRow);
    }
  }
  if (row == 0) {
    // The frame is stamped like its first line.
    _frame.setRecorderImageNumber(line.recorderImageNumber());
    if (line.metadata()) _frame.setMetadata(*line.metadata()); else _frame.clearMetadata();
    if (line.timestamp()) _frame.setTimestamp(*line.timestamp()); else _frame.clearTimestamp();
  }
  ++_linesFilled;
}
