#include "platform/RenderServer.h"

#include "platform/DebugLog.h"
#include "platform/RenderProtocol.h"
#include "platform/RenderProcess.h"

#include <cerrno>
#include <chrono>
#include <memory>
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-image.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace quorvane::RenderServer {

namespace {

bool readAll(int descriptor, void* data, size_t length) {
    auto* bytes = static_cast<char*>(data);
    while (length > 0) {
        const ssize_t got = ::read(descriptor, bytes, length);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        bytes += got;
        length -= static_cast<size_t>(got);
    }
    return true;
}

bool writeAll(int descriptor, const void* data, size_t length) {
    const auto* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t put = ::write(descriptor, bytes, length);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        bytes += put;
        length -= static_cast<size_t>(put);
    }
    return true;
}

// Sanitizers reserve terabytes of address space for themselves, which no limit can allow for.
#if defined(__SANITIZE_ADDRESS__)
#define QUORVANE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVANE_SANITIZED 1
#endif
#endif

void limitMemory() {
#ifndef QUORVANE_SANITIZED
    const rlim_t limit = static_cast<rlim_t>(RenderProcess::memoryLimitMB) << 20;
    const rlimit data{limit, limit};
    ::setrlimit(RLIMIT_DATA, &data);
#endif
}

poppler::rotation_enum rotationOf(int quarterTurns) {
    switch (quarterTurns) {
    case 1:
        return poppler::rotate_90;
    case 2:
        return poppler::rotate_180;
    case 3:
        return poppler::rotate_270;
    default:
        return poppler::rotate_0;
    }
}

bool answer(const poppler::image& image, int channels) {
    const RenderProtocol::Answer header{1, image.width(), image.height(), channels};
    if (!writeAll(RenderProtocol::socketDescriptor, &header, sizeof header)) {
        return false;
    }
    const size_t rowLength = static_cast<size_t>(image.width()) * static_cast<size_t>(channels);
    for (int row = 0; row < image.height(); ++row) {
        const char* start = image.const_data() + static_cast<size_t>(row) * static_cast<size_t>(image.bytes_per_row());
        if (!writeAll(RenderProtocol::socketDescriptor, start, rowLength)) {
            return false;
        }
    }
    return true;
}

bool refuse() {
    const RenderProtocol::Answer header{0, 0, 0, 0};
    return writeAll(RenderProtocol::socketDescriptor, &header, sizeof header);
}

// A renderer whose engine was killed must not go on drawing a runaway page for ever: it leaves as
// soon as it is handed over to another parent.
void leaveWithTheEngine() {
    const pid_t engine = ::getppid();
    std::thread([engine] {
        while (::getppid() == engine) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        ::_exit(1);
    }).detach();
}

} // namespace

int serve() {
    leaveWithTheEngine();
    limitMemory();
    DebugLog::captureLibraryMessages();
    const std::string path = "/proc/self/fd/" + std::to_string(RenderProtocol::documentDescriptor);
    const std::unique_ptr<poppler::document> document(poppler::document::load_from_file(path));

    RenderProtocol::Request request{};
    while (readAll(RenderProtocol::socketDescriptor, &request, sizeof request)) {
        const std::unique_ptr<poppler::page> page(
            document && !document->is_locked() && request.pageIndex >= 0 && request.pageIndex < document->pages()
                ? document->create_page(request.pageIndex)
                : nullptr);
        if (!page) {
            if (!refuse()) {
                return 1;
            }
            continue;
        }
        poppler::page_renderer renderer;
        renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
        renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
        renderer.set_paper_color(0xffffffff); // opaque white wherever the page draws nothing
        const auto format = request.grey != 0 ? poppler::image::format_gray8 : poppler::image::format_bgr24;
        renderer.set_image_format(format);
        const poppler::image image =
            renderer.render_page(page.get(), request.resolution, request.resolution, 0, 0, request.columns,
                                 request.rows, rotationOf(request.quarterTurns));
        const bool drawn = image.is_valid() && image.width() == request.columns && image.height() == request.rows &&
                           image.format() == format;
        if (!(drawn ? answer(image, request.grey != 0 ? 1 : 3) : refuse())) {
            return 1;
        }
    }
    return 0;
}

} // namespace quorvane::RenderServer
