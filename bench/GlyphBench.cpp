// Preparing a face image (the grey conversion is the costly step) against drawing the prepared
// one from the shared cache, which is all a repaint does.
#include "widgets/ButtonGlyph.h"

#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>

using namespace widgets;

namespace {

TBitmap Glyph16() {
    QImage image(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            image.setPixel(x, y, qRgb(x * 16, y * 16, 128));
    return TBitmap(image);
}

void BM_PrepareGreyImage(benchmark::State& state) {
    TZlButtonGlyph glyph;
    glyph.SetSourceBitmap(Glyph16());
    for (auto _ : state) {
        glyph.ClearImages();
        benchmark::DoNotOptimize(glyph.ImageForState(sfInactive));
    }
}
BENCHMARK(BM_PrepareGreyImage);

void BM_RenderCachedFace(benchmark::State& state) {
    TZlButtonGlyph glyph;
    glyph.SetSourceBitmap(Glyph16());
    QImage face(25, 25, QImage::Format_RGB32);
    QPainter canvas(&face);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            glyph.Render(canvas, QRect(2, 2, 21, 21), QString(), blGlyphTop, -1, 1, false, sfInactive, 0));
}
BENCHMARK(BM_RenderCachedFace);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
