// Line assembly: rows copied per format, results of addLine, frames from the worker rule,
// restarts on a change of width or format.

#include <gtest/gtest.h>

#include <vector>

#include "acquisition/LineAssembler.h"
#include "camera/Image.h"

namespace {

/// A one-line image of width pixels whose pixels hold tag * 1000 + column (clipped to the
/// element width); the data buffer, when present, holds the same pattern.
vyk::Image line(uint64_t width, vyk::DataFormat format, vyk::RawFormat raw, uint32_t tag) {
  vyk::Image image;
  image.reshape(vyk::Roi{1, 1, width, 1}, format, raw);
  if (raw == vyk::RawFormat::Word) {
    auto& pixels = image.rawData16();
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint16_t>(tag * 1000 + i);
  } else {
    auto& pixels = image.rawData8();
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(tag * 10 + i);
  }
  if (vyk::elementBits(image.data()) == 8 && vyk::elementCount(image.data()) > 0 &&
      !(format == vyk::DataFormat::Mono8 && raw == vyk::RawFormat::Byte)) {
    auto& data = image.data8();
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(tag * 10 + i);
  }
  image.setRecorderImageNumber(tag);
  return image;
}

TEST(LineAssembler, AddLineBeforeBeginReportsNotStarted) {
  LineAssembler assembler;
  EXPECT_EQ(assembler.addLine(line(8, vyk::DataFormat::Mono16, vyk::RawFormat::Word, 1)), LineAssembler::kNotStarted);
  EXPECT_FALSE(assembler.started());
}

TEST(LineAssembler, FourLinesMakeOneMono16Frame) {
  LineAssembler assembler;
  assembler.begin(line(8, vyk::DataFormat::Mono16, vyk::RawFormat::Word, 1), 4);
  EXPECT_EQ(assembler.linesFilled(), 1u);
  EXPECT_EQ(assembler.addLine(line(8, vyk::DataFormat::Mono16, vyk::RawFormat::Word, 2)), LineAssembler::kCopied);
  EXPECT_EQ(assembler.addLine(line(8, vyk::DataFormat::Mono16, vyk::RawFormat::Word, 3)), LineAssembler::kCopied);
  EXPECT_EQ(assembler.addLine(line(8, vyk::DataFormat::Mono16, vyk::RawFormat::Word, 4)), LineAssembler::kFull);
  EXPECT_EQ(assembler.addLine(line(8, vyk::DataFormat::Mono16, vyk::RawFormat::Word, 5)), LineAssembler::kFull)
      << "a full frame takes no further line";
  const vyk::Image frame = assembler.takeFrame();
  EXPECT_EQ(frame.width(), 8u);
  EXPECT_EQ(frame.height(), 4u);
  EXPECT_EQ(frame.format(), vyk::DataFormat::Mono16);
  EXPECT_EQ(frame.recorderImageNumber(), 1u) << "stamped like its first line";
  const auto& pixels = frame.data16();
  ASSERT_EQ(pixels.size(), 32u);
  for (uint32_t row = 0; row < 4; ++row)
    for (uint32_t column = 0; column < 8; ++column)
      EXPECT_EQ(pixels[row * 8 + column], (row + 1) * 1000 + column) << row << "," << column;
  EXPECT_TRUE(assembler.started()) << "started stays true after takeFrame";
  EXPECT_EQ(assembler.linesFilled(), 0u);
}

TEST(LineAssembler, TakeFrameLeavesABlankFrameOfTheSameShape) {
  LineAssembler assembler;
  assembler.begin(line(4, vyk::DataFormat::Mono16, vyk::RawFormat::Word, 1), 2);
  assembler.addLine(line(4, vyk::DataFormat::Mono16, vyk::RawFormat::Word, 2));
  assembler.takeFrame();
  EXPECT_EQ(assembler.addLine(line(4, vyk::DataFormat::Mono16, vyk::RawFormat::Word, 7)), LineAssembler::kCopied);
  // Take the half-filled frame early to see that row 1 was cleared.
  const vyk::Image partial = assembler.takeFrame();
  EXPECT_EQ(partial.data16()[0], 7000);
  EXPECT_EQ(partial.data16()[4], 0) << "second row blank";
}

TEST(LineAssembler, Mono8WithWordRawCopiesRawAndPaddedDataRows) {
  // Width 6: data rows are padded to 8 bytes, raw rows are 6 pixels.
  LineAssembler assembler;
  assembler.begin(line(6, vyk::DataFormat::Mono8, vyk::RawFormat::Word, 1), 2);
  EXPECT_EQ(assembler.addLine(line(6, vyk::DataFormat::Mono8, vyk::RawFormat::Word, 2)), LineAssembler::kFull);
  const vyk::Image frame = assembler.takeFrame();
  ASSERT_EQ(frame.rawData16().size(), 12u);
  EXPECT_EQ(frame.rawData16()[6], 2000) << "raw row 1 starts at pixel 6";
  ASSERT_EQ(frame.data8().size(), 16u);
  EXPECT_EQ(frame.data8()[8], 20) << "data row 1 starts at the padded offset 8";
  EXPECT_EQ(frame.data8()[13], 25);
}

TEST(LineAssembler, Mono8WithByteRawCopiesTheRawRows) {
  LineAssembler assembler;
  assembler.begin(line(5, vyk::DataFormat::Mono8, vyk::RawFormat::Byte, 1), 3);
  assembler.addLine(line(5, vyk::DataFormat::Mono8, vyk::RawFormat::Byte, 2));
  EXPECT_EQ(assembler.addLine(line(5, vyk::DataFormat::Mono8, vyk::RawFormat::Byte, 3)), LineAssembler::kFull);
  const vyk::Image frame = assembler.takeFrame();
  const auto& pixels = frame.data8();  // the raw buffer carries a byte Mono8 image
  ASSERT_EQ(pixels.size(), 15u);
  EXPECT_EQ(pixels[0], 10);
  EXPECT_EQ(pixels[5], 20);
  EXPECT_EQ(pixels[14], 34);
}

TEST(LineAssembler, Bgr8CopiesDataRowsOnly) {
  LineAssembler assembler;
  assembler.begin(line(4, vyk::DataFormat::BGR8, vyk::RawFormat::Word, 1), 2);
  EXPECT_EQ(assembler.addLine(line(4, vyk::DataFormat::BGR8, vyk::RawFormat::Word, 2)), LineAssembler::kFull);
  const vyk::Image frame = assembler.takeFrame();
  ASSERT_EQ(frame.data8().size(), 24u);
  EXPECT_EQ(frame.data8()[12], 20);
  EXPECT_EQ(frame.data8()[23], 31);
  for (uint16_t value : frame.rawData16()) EXPECT_EQ(value, 0) << "raw pixels are not carried for colour";
}

TEST(LineAssembler, LineOfAnotherWidthOrFormatDoesNotFit) {
  LineAssembler assembler;
  assembler.begin(line(8, vyk::DataFormat::Mono16, vyk::RawFormat::Word, 1), 4);
  EXPECT_EQ(assembler.addLine(line(16, vyk::DataFormat::Mono16, vyk::RawFormat::Word, 2)), LineAssembler::kMismatch);
  EXPECT_EQ(assembler.addLine(line(8, vyk::DataFormat::Mono8, vyk::RawFormat::Word, 2)), LineAssembler::kMismatch);
  EXPECT_EQ(assembler.addLine(line(8, vyk::DataFormat::Mono16, vyk::RawFormat::Byte, 2)), LineAssembler::kMismatch)
      << "another raw pixel width cannot share the frame";
  EXPECT_EQ(assembler.linesFilled(), 1u) << "nothing changed";
}

TEST(LineAssembler, WorkerRuleDeliversOneFrameEveryFourLines) {
  LineAssembler assembler;
  std::vector<vyk::Image> frames;
  for (uint32_t tag = 1; tag <= 8; ++tag) {
    auto frame = assembler.feed(line(8, vyk::DataFormat::Mono16, vyk::RawFormat::Word, tag), 4);
    if (tag % 4 != 0) {
      EXPECT_FALSE(frame) << "nothing for line " << tag;
    } else {
      ASSERT_TRUE(frame) << "a frame at line " << tag;
      frames.push_back(*frame);
    }
  }
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1].data16()[0], 5000);
  EXPECT_EQ(frames[1].data16()[3 * 8], 8000);
}

TEST(LineAssembler, WorkerRuleRestartsOnAWidthChange) {
  LineAssembler assembler;
  EXPECT_FALSE(assembler.feed(line(8, vyk::DataFormat::Mono16, vyk::RawFormat::Word, 1), 4));
  EXPECT_FALSE(assembler.feed(line(8, vyk::DataFormat::Mono16, vyk::RawFormat::Word, 2), 4));
  // A line of another width discards the partial frame and starts a new one with itself.
  EXPECT_FALSE(assembler.feed(line(12, vyk::DataFormat::Mono16, vyk::RawFormat::Word, 3), 4));
  EXPECT_EQ(assembler.width(), 12u);
  EXPECT_EQ(assembler.linesFilled(), 1u);
  EXPECT_FALSE(assembler.feed(line(12, vyk::DataFormat::Mono16, vyk::RawFormat::Word, 4), 4));
  EXPECT_FALSE(assembler.feed(line(12, vyk::DataFormat::Mono16, vyk::RawFormat::Word, 5), 4));
  auto frame = assembler.feed(line(12, vyk::DataFormat::Mono16, vyk::RawFormat::Word, 6), 4);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->width(), 12u);
  EXPECT_EQ(frame->data16()[0], 3000) << "the frame starts with the line that restarted it";
}

}  // namespace
