// Drawing a page in the page renderer's process (quorvane-render, which can be stopped) against
// drawing it with Poppler in this process, as the engine did before: the same pages of the corpus
// at 300 DPI, in grey where the page has no colour, wall-clock time per page. The first page of a document also starts the
// renderer and lets it open the document; later pages find it waiting.

#include "pipeline/PDFPageRasterizer.h"
#include "pipeline/PageColour.h"
#include "platform/PdfDocument.h"

#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>
#include <poppler/cpp/poppler-image.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>

using namespace quorvane;

namespace {

const char* const pages[] = {"linn.pdf", "skew.pdf", "toc.pdf"};

std::unique_ptr<PdfDocument> open(int which) {
    return PdfDocument::open(QStringLiteral(QUORVANE_CORPUS_DIR "/") + QString::fromLatin1(pages[which]));
}

// The baseline: Poppler in this process, as PDFPageRasterizer drew before it used a renderer.
void BM_PopplerInThisProcess(benchmark::State& state) {
    const auto document = open(static_cast<int>(state.range(0)));
    const auto page = document->page(0)->popplerPage();
    poppler::page_renderer renderer;
    renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
    const bool grey = PageColour::drawsOnlyGrey(*document->page(0));
    renderer.set_image_format(grey ? poppler::image::format_gray8 : poppler::image::format_bgr24);
    for (auto _ : state) {
        poppler::image image = renderer.render_page(page.get(), 300, 300);
        if (!grey) { // in RGB order, as the rasterizer hands it on
            const cv::Mat bgr(image.height(), image.width(), CV_8UC3, image.data(),
                              static_cast<size_t>(image.bytes_per_row()));
            cv::Mat rgb;
            cv::cvtColor(bgr, rgb, cv::COLOR_BGR2RGB);
            benchmark::DoNotOptimize(rgb.data);
        }
        benchmark::DoNotOptimize(image.data());
    }
    state.SetLabel(pages[state.range(0)]);
}

void BM_RendererProcess(benchmark::State& state) {
    const auto document = open(static_cast<int>(state.range(0)));
    PDFPageRasterizer::render(*document->page(0), 300); // starts the renderer
    for (auto _ : state) {
        benchmark::DoNotOptimize(PDFPageRasterizer::render(*document->page(0), 300));
    }
    state.SetLabel(pages[state.range(0)]);
}

void BM_RendererProcessFirstPage(benchmark::State& state) {
    for (auto _ : state) {
        const auto document = open(static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(PDFPageRasterizer::render(*document->page(0), 300));
    }
    state.SetLabel(pages[state.range(0)]);
}

} // namespace

BENCHMARK(BM_PopplerInThisProcess)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_RendererProcess)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_RendererProcessFirstPage)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK_MAIN();
