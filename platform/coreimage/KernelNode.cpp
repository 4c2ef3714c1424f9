#include "coreimage/KernelNode.h"

#include "coreimage/WorkerPool.h"

namespace ci {

KernelNode::KernelNode(const QRectF& extent, QList<KernelParameter> parameters,
                       KernelRoutine routine, RegionOfInterestCallback roi,
                       std::vector<Image> images, std::vector<Sampling> samplings,
                       std::vector<std::array<float, 4>> values)
    : ImageNode(extent),
      parameters_(std::move(parameters)),
      routine_(std::move(routine)),
      roi_(std::move(roi)),
      images_(std::move(images)),
      samplings_(std::move(samplings)),
      values_(std::move(values)) {}

QRectF KernelNode::regionOfInterest(int index, const QRectF& rect) const {
  int imageIndex = -1;
  for (const KernelParameter& p : parameters_) {
    if (!p.isImage()) continue;
    if (++imageIndex != index) continue;
    // A __sample input is read at the output pixel only, whatever the callback says.
    if (p.type == KernelParameterType::Sample) return rect;
    // Samplers read transparency outside what was rendered, so nothing
    // beyond the input's own pixels is needed.
    return intersect(roi_ ? roi_(index, rect) : rect, images_[size_t(index)].extent());
  }
  return rect;
}

std::vector<const ImageNode*> KernelNode::inputs() const {
  std::vector<const ImageNode*> nodes;
  for (const Image& image : images_) nodes.push_back(image.node().get());
  return nodes;
}

void KernelNode::render(PixelBuffer& out) const {
  const IRect& r = out.rect();
  std::vector<PixelBuffer> inputs;
  std::vector<SamplerView> views;
  inputs.reserve(images_.size());
  views.reserve(images_.size());
  KernelRow row;
  row.values = values_;
  int imageIndex = 0;
  for (const KernelParameter& p : parameters_) {
    if (!p.isImage()) continue;
    const size_t i = size_t(imageIndex);
    if (p.type == KernelParameterType::Sample) {
      PixelBuffer buffer(r);
      renderInto(*images_[i].node(), buffer);
      inputs.push_back(std::move(buffer));
    } else {
      inputs.push_back(renderInput(imageIndex, images_[i], r));
    }
    ++imageIndex;
  }
  for (size_t i = 0; i < images_.size(); ++i)
    views.emplace_back(&inputs[i], samplings_[i], images_[i].extent());
  imageIndex = 0;
  std::vector<int> sampleSlots;
  for (const KernelParameter& p : parameters_) {
    if (!p.isImage()) continue;
    if (p.type == KernelParameterType::Sample) {
      sampleSlots.push_back(imageIndex);
      row.samples.push_back(nullptr);
    } else {
      row.samplers.push_back(&views[size_t(imageIndex)]);
    }
    ++imageIndex;
  }
  row.x = r.x;
  row.count = r.w;
  WorkerPool::parallelBands(r.h, bandRows(r.w, 16384), [&](int begin, int end) {
    KernelRow band = row;
    for (int y = r.y + begin; y < r.y + end; ++y) {
      band.y = y;
      band.out = out.row(y);
      for (size_t k = 0; k < sampleSlots.size(); ++k)
        band.samples[k] = inputs[size_t(sampleSlots[k])].row(y);
      routine_(band);
    }
  });
}

}  // namespace ci

namespace ci {

// Each band fills one row of floats at a time and stores it at once, so a
// generated layer never passes through a float tile sixteen bytes a pixel
// wide on its way to its bytes; the pixels are those render() makes.
bool KernelNode::renderBytes(const IRect& rect, Format format, uchar* topRow,
                             ptrdiff_t rowBytes) const {
  if (!images_.empty() || rect.isEmpty() || !IRect::covering(extent()).contains(rect)) return false;
  KernelRow row;
  row.values = values_;
  row.x = rect.x;
  row.count = rect.w;
  WorkerPool::parallelBands(rect.h, bandRows(rect.w, 16384), [&](int begin, int end) {
    std::vector<float> floats(size_t(rect.w) * 4);
    KernelRow band = row;
    band.out = floats.data();
    for (int y = rect.y + begin; y < rect.y + end; ++y) {
      band.y = y;
      routine_(band);
      storeRow(floats.data(), format, topRow + ptrdiff_t(rect.top() - 1 - y) * rowBytes, rect.w);
    }
  });
  return true;
}

}  // namespace ci

namespace ci {

// Routines work pixel by pixel (renders already cut rows at tile edges), so
// a row written in parts is the row rendered whole.
ImageNode::RowWriter KernelNode::rowWriter() const {
  if (!images_.empty()) return {};
  auto row = std::make_shared<KernelRow>();
  row->values = values_;
  return [row, routine = routine_](int x, int y, int count, float* out) {
    row->x = x;
    row->y = y;
    row->count = count;
    row->out = out;
    routine(*row);
  };
}

}  // namespace ci
