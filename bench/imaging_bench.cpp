// SPDX-License-Identifier: Apache-2.0
// The tool's whole work for one capture already in memory, against a bare
// decode of the same JPEG. Target: at most twice the bare decode.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <random>

#include "imaging/capture_fetch.h"
#include "imaging/capture_files.h"
#include "imaging/capture_stream.h"
#include "imaging/imaging_state.h"
#include "imaging/preview.h"

namespace {

using namespace varnet;

const BarcodeCorners kCorners = {{{500, 260}, {780, 250}, {790, 470}, {510, 480}}};

// A 1280 x 720 scene with gradients, noise, shapes and strokes, so the
// JPEG carries real detail like a camera frame does.
QImage Scene(bool grey) {
  QImage img(1280, 720, QImage::Format_RGB32);
  QPainter p(&img);
  QLinearGradient g(0, 0, 1280, 720);
  g.setColorAt(0, QColor(30, 40, 60));
  g.setColorAt(1, QColor(210, 200, 170));
  p.fillRect(img.rect(), g);
  std::mt19937 rng(1);
  std::uniform_int_distribution<int> x(0, 1279), y(0, 719), c(0, 255), s(4, 90);
  for (int i = 0; i < 300; ++i) {
    p.setBrush(QColor(c(rng), c(rng), c(rng)));
    p.setPen(QColor(c(rng), c(rng), c(rng)));
    p.drawEllipse(x(rng), y(rng), s(rng), s(rng));
  }
  // Thin strokes stand in for printed text (drawing text needs a GUI application).
  for (int i = 0; i < 600; ++i) {
    int x0 = x(rng), y0 = y(rng);
    p.setPen(QPen(QColor(c(rng), c(rng), c(rng)), 1 + i % 3));
    p.drawLine(x0, y0, x0 + s(rng) / 3, y0 + s(rng) / 6);
  }
  // A QR-like module field where the barcode sits.
  for (int my = 0; my < 29; ++my)
    for (int mx = 0; mx < 29; ++mx)
      if (std::uniform_int_distribution<int>(0, 1)(rng)) p.fillRect(520 + mx * 9, 270 + my * 7, 9, 7, Qt::black);
  p.end();
  for (int yy = 0; yy < 720; ++yy) {
    auto* line = reinterpret_cast<QRgb*>(img.scanLine(yy));
    for (int xx = 0; xx < 1280; ++xx) {
      int n = int(rng() % 17) - 8;
      QRgb v = line[xx];
      line[xx] =
          qRgb(std::clamp(qRed(v) + n, 0, 255), std::clamp(qGreen(v) + n, 0, 255), std::clamp(qBlue(v) + n, 0, 255));
    }
  }
  return grey ? img.convertToFormat(QImage::Format_Grayscale8) : img;
}

std::vector<uint8_t> Jpeg(const QImage& img) {
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, "JPEG", 85);
  return {bytes.begin(), bytes.end()};
}

// The stream as the scanner sends it: decode block, image header, JPEG.
std::vector<uint8_t> Stream(const std::vector<uint8_t>& jpeg) {
  std::vector<uint8_t> s = {'*', 'B', 'C', '*', 0, 0, 0, 0, 11, 0, 0, 0};
  s.resize(28, 0);
  for (char ch : std::string("HELLO-WORLD")) s.push_back(uint8_t(ch));
  std::vector<uint8_t> h = {'*', 'I', 'M', 'T', '*', 0, 0, 0};
  auto le = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) h.push_back(uint8_t(v >> (8 * i)));
  };
  le(uint32_t(jpeg.size()), 4);
  for (auto c : kCorners) {
    le(c.x, 2);
    le(c.y, 2);
  }
  le(25, 4);
  le(300, 2);
  h.push_back(80);
  h.resize(40, 0);
  s.insert(s.end(), h.begin(), h.end());
  s.insert(s.end(), jpeg.begin(), jpeg.end());
  return s;
}

// What the window does with a capture: decode once, preview with the
// outline, thumbnail.
class ComposingSink : public CaptureSink {
 public:
  void ClearCaptureLists() override {}
  void AddThumbnail(uint8_t, const std::string&, const std::vector<uint8_t>& image) override {
    decoded = DecodeCapture(image.data(), image.size());
  }
  void AddResultRow(const CaptureResult& result) override {
    images = ComposeCaptureImages(decoded, result.corners, 0, 360);
  }
  void ShowCaptureExposureGain(int, int) override {}
  QImage decoded;
  CaptureImages images;
};

struct Fixture {
  explicit Fixture(bool grey) : jpeg(Jpeg(Scene(grey))), stream(Stream(jpeg)) {}
  std::vector<uint8_t> jpeg;
  std::vector<uint8_t> stream;
};
const Fixture& Colour() {
  static Fixture f(false);
  return f;
}
const Fixture& Grey() {
  static Fixture f(true);
  return f;
}

void BareDecode(benchmark::State& state, const Fixture& f) {
  for (auto _ : state) {
    QImage img = QImage::fromData(f.jpeg.data(), int(f.jpeg.size()));
    benchmark::DoNotOptimize(img.constBits());
  }
  state.counters["jpeg_bytes"] = double(f.jpeg.size());
}

void WholeCapture(benchmark::State& state, const Fixture& f) {
  ImagingState imaging;
  imaging.captureDir = *MakeCaptureDir(CaptureBaseDir());
  ComposingSink sink;
  BarcodeCorners corners{};
  for (auto _ : state) {
    // Header parsing: the reader sees the bytes the link delivers.
    CaptureHeaderReader reader;
    size_t off = 0;
    while (reader.state() != CaptureHeaderReader::State::ImageReady) off += reader.Feed(&f.stream[off], reader.Want());
    // The image data as ReadImageData gathers them.
    uint32_t size = reader.imageHeader().ImageSize();
    std::vector<uint8_t> image(f.stream.begin() + off, f.stream.begin() + off + size);
    if (!CompleteCapture(imaging, 15, sink, reader.imageHeader(), reader.decodedData(), image, corners))
      state.SkipWithError("capture not stored");
    benchmark::DoNotOptimize(sink.images.preview.constBits());
    benchmark::DoNotOptimize(sink.images.thumbnail.constBits());
  }
  RemoveCaptureDir(imaging);
}

// The parts of the whole, to see where the time goes.
void PreviewAndThumbnail(benchmark::State& state, const Fixture& f) {
  QImage decoded = DecodeCapture(f.jpeg.data(), f.jpeg.size());
  for (auto _ : state) {
    CaptureImages images = ComposeCaptureImages(decoded, kCorners, 0, 360);
    benchmark::DoNotOptimize(images.thumbnail.constBits());
  }
}

void StoreCaptureFile(benchmark::State& state, const Fixture& f) {
  ImagingState imaging;
  imaging.captureDir = *MakeCaptureDir(CaptureBaseDir());
  int n = 0;
  for (auto _ : state) {
    if (!WriteFileWhole(CapturePath(imaging.captureDir, n++ % 15 + 1), f.jpeg.data(), f.jpeg.size()))
      state.SkipWithError("write failed");
  }
  RemoveCaptureDir(imaging);
}

BENCHMARK_CAPTURE(BareDecode, colour, Colour())->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK_CAPTURE(WholeCapture, colour, Colour())
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BareDecode, grey, Grey())->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK_CAPTURE(WholeCapture, grey, Grey())->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK_CAPTURE(PreviewAndThumbnail, colour, Colour())
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(PreviewAndThumbnail, grey, Grey())
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(StoreCaptureFile, colour, Colour())
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
