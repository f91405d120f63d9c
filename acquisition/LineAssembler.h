#pragma once
// Builds two-dimensional frames out of the single-line images that line cameras deliver.
// Used by one thread only.

#include <cstdint>
#include <optional>

#include "camera/Enums.h"
#include "camera/Image.h"

/// Copies lines row by row into a frame of width x linesPerFrame pixels.
class LineAssembler {
 public:
  /// addLine result: the assembler has not been started.
  static constexpr int kNotStarted = 0;
  /// addLine result: the line's format, width or pixel width differs from the frame's.
  static constexpr int kMismatch = -1;
  /// addLine result: the line was copied and the frame is not yet full.
  static constexpr int kCopied = 1;
  /// addLine result: the frame is full (just now, or already and the line was not copied).
  static constexpr int kFull = 2;

  /// Starts a new frame shaped after line and copies line into row 0.
  void begin(const vyk::Image& line, uint32_t linesPerFrame);
  /// Copies line into the next row; returns kNotStarted, kMismatch, kCopied or kFull.
  int addLine(const vyk::Image& line);
  /// A copy of the frame; then starts a blank frame of the same shape (started stays true).
  vyk::Image takeFrame();
  /// The worker rule for one fetched line: begin when not started or when the line does not
  /// fit; returns the finished frame when this line completed it.
  std::optional<vyk::Image> feed(const vyk::Image& line, uint32_t linesPerFrame);

  /// True after begin.
  bool started() const { return _started; }
  /// Width of the lines, pixels.
  uint32_t width() const { return _width; }
  /// Rows per frame.
  uint32_t linesPerFrame() const { return _linesPerFrame; }
  /// Rows already copied into the frame.
  uint32_t linesFilled() const { return _linesFilled; }

 private:
  bool fits(const vyk::Image& line) const;
  void blankFrame();
  void copyRow(const vyk::Image& line);

  bool _started = false;                              // begin has run
  uint32_t _width = 0;                                // pixels per line
  uint32_t _linesPerFrame = 0;                        // rows per frame
  uint32_t _linesFilled = 0;                          // rows copied so far
  vyk::DataFormat _format = vyk::DataFormat::Undefined;  // data format of the lines
  vyk::RawFormat _rawFormat = vyk::RawFormat::Word;   // raw pixel width of the lines
  vyk::Image _frame;                                  // ROI (1,1)-(width, linesPerFrame)
};
