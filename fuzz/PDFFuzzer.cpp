// Fuzzes the PDF reader (poppler) as an image source opens a file, then as
// the PDF image representation a document keeps: every page's bounds, and
// the first pages rendered small.
#include "FuzzSupport.h"
#include "imageio/ImageProperties.h"
#include "imageio/ImageSource.h"
#include "imageio/TypeIdentifiers.h"

namespace {

void renderPages(const QByteArray& data) {
  io::ImageSourcePtr source =
      io::ImageSource::createWithData(data, {{io::SourceTypeIdentifierHint, io::TypePDF}});
  gfx::PDFImageRepPtr pdf = source ? source->pdfImageRep() : nullptr;
  if (!pdf) return;
  for (int page = 0; page < std::min(pdf->pageCount(), 4); ++page) {
    pdf->setCurrentPage(page);
    pdf->bounds();
    if (gfx::CGImagePtr image = pdf->renderPage(16, 16)) fuzz::checksum(image->qImage());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes = fuzz::bytes(data, size);
  if (!fuzz::decodeEveryImage(io::TypePDF, bytes)) return -1;
  renderPages(bytes);
  return 0;
}
