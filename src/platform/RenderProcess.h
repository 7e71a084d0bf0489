#pragma once

// Draws the pages of one PDF in a child process (quorvane-render), so that a page that never
// finishes (a tiling pattern that paints itself every ten-thousandth of a point), a page that needs
// gigabytes, or a crash in the renderer costs that page and not the program. The child opens the
// same bytes as the document once and then draws page after page; one that runs over its time is
// killed, and the next page starts a new one.

#include "core/Raster.h"

#include <QString>
#include <chrono>
#include <exception>
#include <mutex>
#include <optional>
#include <sys/types.h>

namespace quorvane {

class RenderProcess {
public:
    struct Request {
        int pageIndex = 0;
        double resolution = 72; // dots per inch on both axes
        int columns = 0;        // the slice from the top-left corner of the page as Poppler shows it
        int rows = 0;
        int quarterTurns = 0;   // clockwise, added to the page's own rotation
        bool grey = false;      // one grey channel instead of three
    };

    // Why a page was given up: the text completes "Rendering page N failed: ".
    class Stopped : public std::exception {
    public:
        explicit Stopped(QString reason) : reason_(std::move(reason)), what_(reason_.toStdString()) {}
        const QString& reason() const { return reason_; }
        const char* what() const noexcept override { return what_.c_str(); }

    private:
        QString reason_;
        std::string what_;
    };

    // The most memory one page may take to draw; the child cannot allocate more.
    static constexpr long memoryLimitMB = 768;

    // `document` is an open descriptor of the PDF's bytes; it is duplicated, not taken over.
    explicit RenderProcess(int document);
    ~RenderProcess();
    RenderProcess(const RenderProcess&) = delete;
    RenderProcess& operator=(const RenderProcess&) = delete;

    // The pixels as Poppler drew them, one grey channel or three in BGR order; nothing when Poppler
    // gives no image. Throws Stopped when the child used more than `timeLimit` of processor time on
    // the page (or, waiting instead, ten times that on the clock), or when it stopped. One call at a
    // time per document; concurrent calls wait for each other.
    std::optional<Raster> render(const Request& request, std::chrono::milliseconds timeLimit);

    // The program started for each document: beside the running program when it was installed with
    // it, else the one this build made.
    static QString program();

private:
    void start();
    void stop();

    std::mutex mutex_;
    int document_ = -1;
    int channel_ = -1; // our end of the socket pair
    pid_t child_ = -1;
};

} // namespace quorvane
