// A decode's listing and block as the plug-in writes its files, written as they are made:
// piped, their bytes; on a terminal, printable lines (text.h). The picture, where wanted, goes to
// a writer of its own.
#pragma once

#include "decode.h"
#include "text.h"
#include "writer.h"

namespace tvx::render {

class DecodeText final : public core::DecodeSink {
 public:
  // `picture`: where the picture's bytes go, or nothing.
  DecodeText(Writer& out, bool listing, bool block, Writer* picture = nullptr)
      : text_(out), listing_(listing), block_(block), picture_(picture) {}

  bool ListingLine(const core::TextRef& line) override {
    if (!listing_) return true;
    line.Write([this](std::string_view bytes) { text_.Feed(bytes); });
    text_.Feed("\r\n");
    return true;
  }
  void Block(const core::TextRef& block) override {
    if (!block_) return;
    block.Write([this](std::string_view bytes) { text_.Feed(bytes); });
    text_.Finish();
  }
  void Picture(const core::TextRef& bytes) override {
    if (picture_ != nullptr) bytes.Write([this](std::string_view b) { *picture_ << b; });
  }

 private:
  FileText text_;
  bool listing_;
  bool block_;
  Writer* picture_;
};

}  // namespace tvx::render
