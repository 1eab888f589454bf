#include "tvx/decode_run.h"

#include "tvx/long_texts.h"

namespace tvx {

namespace {

// The listing of a run that read nothing: one line.
std::string OneLine(const DecodeOptions& options, std::string_view first, std::string_view second) {
  Listing listing;
  listing.SetObserver(options.observer, options.keepListing);
  listing.Line(first, second);
  return listing.TakeText();
}

}  // namespace

DecodeOutput RunDecode(Decoder& decoder, const Request& request, FileSystem& files,
                       DecodeObserver* observer) {
  DecodeOptions options;
  options.observer = observer;
  return RunDecode(decoder, request, files, options);
}

DecodeOutput RunDecode(Decoder& decoder, const Request& request, FileSystem& files,
                       const DecodeOptions& options) {
  // Every run starts from the values of a fresh process.
  decoder.Reset();
  const LongTexts::Scope scope(options.longTexts);
  DecodeOutput out;
  InputSource* input = nullptr;
  if (request.valid && !request.path.empty()) input = files.OpenInput(request.path);
  if (!request.valid) {
    out.listing = OneLine(options, "Invalid request", "");
    out.ended = DecodeEnd::kInvalidRequest;
  } else if (input == nullptr) {
    out.listing = OneLine(options, "Cannot open input file: ", request.path);
    out.ended = DecodeEnd::kNoInput;
  } else {
    StreamReader reader(*input, request.start);
    reader.SetObserver(options.observer);
    reader.SetLongTexts(options.longTexts);
    DecodeContext ctx(reader, request.offsets);
    ctx.Out().SetObserver(options.observer, options.keepListing);
    out.ended = decoder.ReadStream(ctx);
    out.stop = ctx.Stop();
    out.listing = ctx.Out().TakeText();
    out.picture = ctx.TakePicture();
    out.picturePosition = ctx.PicturePosition();
  }
  BlockWriter block(decoder.Info().labelWidth);
  block.SetObserver(options.block);
  decoder.WriteBlock(block);
  out.block = block.TakeText();
  return out;
}

void ServeRequest(Decoder& decoder, const Request& request, FileSystem& files) {
  const DecodeOutput out = RunDecode(decoder, request, files);
  // Each file is written whole; one that cannot be written does not stop the others.
  if (out.picture) files.WriteOutput(kPictureFileName, *out.picture);
  files.WriteOutput(kListingFileName, out.listing);
  files.WriteOutput(kBlockFileName, out.block);
}

}  // namespace tvx
