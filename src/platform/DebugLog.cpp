#include "platform/DebugLog.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <glib.h>
#include <leptonica/allheaders.h>
#include <mutex>
#include <poppler/cpp/poppler-global.h>
#include <unistd.h>

namespace quorvane::DebugLog {

namespace {

// The descriptor messages go to, -1 when they are dropped; opened on first use.
int destination() {
    static const int descriptor = [] {
        const char* setting = std::getenv("QUORVANE_DEBUG");
        if (setting == nullptr || *setting == '\0' || std::strcmp(setting, "0") == 0) {
            return -1;
        }
        if (std::strcmp(setting, "1") == 0) {
            return STDERR_FILENO;
        }
        return ::open(setting, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    }();
    return descriptor;
}

void glibMessage(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer) {
    if ((level & (G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG)) != 0) {
        return; // libvips's notes on where it found its modules, and the like
    }
    write(domain != nullptr ? domain : "GLib", message != nullptr ? message : "");
}

} // namespace

bool enabled() { return destination() >= 0; }

void write(const char* source, const std::string& message) {
    if (!enabled()) {
        return;
    }
    std::string line = "quorvane[" + std::to_string(::getpid()) + "] " + source + ": " + message;
    while (!line.empty() && line.back() == '\n') {
        line.pop_back();
    }
    line += '\n';
    // One write per line: lines of the engine and of its page renderer do not interleave.
    [[maybe_unused]] const ssize_t written = ::write(destination(), line.data(), line.size());
}

void captureLibraryMessages() {
    static std::once_flag once;
    std::call_once(once, [] {
        poppler::set_debug_error_function([](const std::string& message, void*) { write("Poppler", message); },
                                          nullptr);
        // libvips and the decoders it wraps report through GLib.
        g_log_set_default_handler(glibMessage, nullptr);
        leptSetStderrHandler([](const char* message) { write("Leptonica", message); });
    });
}

} // namespace quorvane::DebugLog
