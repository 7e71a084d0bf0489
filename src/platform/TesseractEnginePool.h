#pragma once

// A process-wide pool of initialised Tesseract engines. Creating an engine loads its models
// (hundreds of milliseconds), so engines are kept and lent out again: each to one thread at a
// time, keyed by everything that needs a fresh initialisation.

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace tesseract {
class TessBaseAPI;
}

namespace quorvane {

// What an engine is initialised with; engines with equal keys are interchangeable.
struct TesseractEngineKey {
    QString languages;             // Tesseract codes joined by '+', e.g. "deu+eng"; "osd" detects scripts
    bool usesDictionaries = false; // Tesseract's word, frequency, punctuation and number dictionaries
    QStringList userWords;         // extra vocabulary; empty sets none

    bool operator==(const TesseractEngineKey&) const = default;
};

class TesseractEnginePool {
public:
    // An engine lent to the current thread; it goes back to its pool when the lease ends.
    class Lease {
    public:
        Lease(Lease&& other) noexcept = default;
        Lease& operator=(Lease&&) = delete;
        ~Lease();

        tesseract::TessBaseAPI& engine() const { return *engine_; }

        // Recognises the image set on the engine and counts it, and the time it took, in
        // recognitionCount() and recognitionTime(). False when Tesseract reports a failure.
        bool recognize();

    private:
        friend class TesseractEnginePool;
        Lease(TesseractEnginePool& pool, TesseractEngineKey key, QString dataDirectory,
              std::unique_ptr<tesseract::TessBaseAPI> engine);

        TesseractEnginePool* pool_;
        TesseractEngineKey key_;
        QString dataDirectory_;
        std::unique_ptr<tesseract::TessBaseAPI> engine_;
    };

    TesseractEnginePool();
    ~TesseractEnginePool();
    TesseractEnginePool(const TesseractEnginePool&) = delete;
    TesseractEnginePool& operator=(const TesseractEnginePool&) = delete;

    // Settles OpenMP's thread limit for the process: one thread per recognition unless the user
    // set OMP_THREAD_LIMIT to something else. Touches the environment, so it runs at program
    // start, before any thread exists (ProcessStart::beforeAnyThread).
    static void limitOpenMPThreads();

    // For a process that is stopping: recognitions in progress end after their current word and
    // later ones fail at once, as recognitions that Tesseract could not do.
    static void stopAllRecognitions();

    // The pool every recognition of the process uses.
    static TesseractEnginePool& shared();

    // An idle engine for `key`, or a newly initialised one when none is idle.
    // Throws PlatformError when the language data cannot be loaded.
    Lease borrow(const TesseractEngineKey& key);

    // Engines this pool has initialised so far.
    std::uint64_t initialisationCount() const { return initialisations_.load(); }

    // Page recognitions run by all pools of the process so far.
    static std::uint64_t recognitionCount();

    // Time spent inside those recognitions so far, in nanoseconds: elapsed, and processor time
    // of the recognising threads. Benchmarks set it against the time of a whole run.
    struct RecognitionTime {
        std::uint64_t elapsedNanoseconds = 0;
        std::uint64_t processorNanoseconds = 0;
    };
    static RecognitionTime recognitionTime();

    // Where Tesseract's language data lives: TESSDATA_PREFIX, else the Debian default folder.
    static QString dataDirectory();

    // The Tesseract language code of a catalog tag ("de-DE" gives "deu"); empty for other tags.
    static QString tesseractCode(const QString& tag);

    // Whether `code`.traineddata is in the data directory.
    static bool isInstalled(const QString& code);

private:
    struct IdleEngine {
        TesseractEngineKey key;
        QString dataDirectory; // engines from another data folder are no substitute
        std::unique_ptr<tesseract::TessBaseAPI> engine;
    };

    std::unique_ptr<tesseract::TessBaseAPI> create(const TesseractEngineKey& key,
                                                   const QString& dataDirectory);
    void giveBack(IdleEngine returned);
    void releaseIdleEngines();

    std::mutex mutex_;
    std::vector<IdleEngine> idle_; // least recently returned first
    std::atomic<std::uint64_t> initialisations_{0};
};

} // namespace quorvane
