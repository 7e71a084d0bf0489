#include "platform/TesseractEnginePool.h"

#include "core/OCRError.h"
#include "core/OCRLanguageCatalog.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QtGlobal>

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <string>
#include <utility>

namespace quorvane {

namespace {

// Engines kept idle across all keys; the least recently returned go first. Enough for the
// orientation probe's four concurrent recognitions in each of two documents.
constexpr std::size_t maxIdleEngines = 8;

std::atomic<std::uint64_t> recognitions{0};
std::atomic<bool> recognitionsStopped{false};
std::atomic<std::uint64_t> recognitionElapsed{0};
std::atomic<std::uint64_t> recognitionProcessor{0};

// Processor time of the calling thread: Tesseract recognises on the thread that asks (see
// limitOpenMPOnThisThread), so this is all the processor time a recognition costs.
std::uint64_t threadProcessorNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(now.tv_nsec);
}

// Whether recognitions keep OpenMP to one thread: yes, unless the user asked for another limit.
// Decided once by limitOpenMPThreads, before any thread exists.
std::atomic<bool> oneOpenMPThread{true};

// The OpenMP runtime's switch that keeps a parallel region to one thread (the maximum of active
// parallel levels) belongs to the thread that sets it, so every thread that uses an engine sets
// it before its first use.
void limitOpenMPOnThisThread() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Tesseract's progress chatter ("Estimating resolution as ...") is not for our users;
        // failures reach them as PlatformError texts instead. debug_file is process-wide.
        tesseract::TessBaseAPI().SetVariable("debug_file", "/dev/null");
    });
    thread_local bool limitedHere = false;
    if (!oneOpenMPThread.load() || limitedHere) {
        return;
    }
    limitedHere = true;
    using SetMaxActiveLevels = void (*)(int);
    if (auto set = reinterpret_cast<SetMaxActiveLevels>(dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"))) {
        set(0); // no parallel region started by this thread runs more than one thread
    }
}

struct Variables {
    std::vector<std::string> names;
    std::vector<std::string> values;
    void add(const char* name, const std::string& value) {
        names.emplace_back(name);
        values.push_back(value);
    }
};

QString missingLanguageData(const QString& languages, const QString& directory) {
    QStringList missing;
    for (const auto& code : languages.split('+', Qt::SkipEmptyParts)) {
        if (!QFileInfo(QDir(directory).filePath(code + ".traineddata")).isFile()) {
            missing << code + ".traineddata";
        }
    }
    return missing.join(", ");
}

} // namespace

TesseractEnginePool::Lease::Lease(TesseractEnginePool& pool, TesseractEngineKey key, QString dataDirectory,
                                  std::unique_ptr<tesseract::TessBaseAPI> engine)
    : pool_(&pool), key_(std::move(key)), dataDirectory_(std::move(dataDirectory)),
      engine_(std::move(engine)) {}

TesseractEnginePool::Lease::~Lease() {
    if (engine_) {
        pool_->giveBack({std::move(key_), std::move(dataDirectory_), std::move(engine_)});
    }
}

bool TesseractEnginePool::Lease::recognize() {
    if (recognitionsStopped.load()) {
        return false;
    }
    recognitions.fetch_add(1);
    const auto started = std::chrono::steady_clock::now();
    const std::uint64_t processorStarted = threadProcessorNanoseconds();
    tesseract::ETEXT_DESC monitor; // Tesseract asks it after every word whether to go on
    monitor.cancel = [](void*, int) { return recognitionsStopped.load(); };
    const bool recognised = engine_->Recognize(&monitor) == 0 && !recognitionsStopped.load();
    recognitionProcessor.fetch_add(threadProcessorNanoseconds() - processorStarted);
    recognitionElapsed.fetch_add(static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - started).count()));
    return recognised;
}

TesseractEnginePool::TesseractEnginePool() = default;
TesseractEnginePool::~TesseractEnginePool() = default;

// OpenMP makes Tesseract several times slower here; parallelism comes from running separate
// recognitions on separate threads instead. The OpenMP runtime reads OMP_THREAD_LIMIT when it is
// loaded, before main, so the variable set here reaches child processes only; this process keeps
// to one thread through the runtime's own switch (limitOpenMPOnThisThread).
void TesseractEnginePool::limitOpenMPThreads() {
    const bool userChoseLimit = qEnvironmentVariableIsSet("OMP_THREAD_LIMIT");
    setenv("OMP_THREAD_LIMIT", "1", 0);
    oneOpenMPThread = !userChoseLimit || qgetenv("OMP_THREAD_LIMIT").trimmed() == "1";
}

void TesseractEnginePool::stopAllRecognitions() { recognitionsStopped = true; }

TesseractEnginePool& TesseractEnginePool::shared() {
    static TesseractEnginePool pool;
    return pool;
}

TesseractEnginePool::Lease TesseractEnginePool::borrow(const TesseractEngineKey& key) {
    limitOpenMPOnThisThread(); // the lease is for this thread
    const QString directory = dataDirectory();
    {
        std::lock_guard lock(mutex_);
        for (auto it = idle_.rbegin(); it != idle_.rend(); ++it) {
            if (it->key == key && it->dataDirectory == directory) {
                auto engine = std::move(it->engine);
                idle_.erase(std::next(it).base());
                return Lease(*this, key, directory, std::move(engine));
            }
        }
    }
    // Initialising takes long: other threads keep borrowing meanwhile.
    return Lease(*this, key, directory, create(key, directory));
}

void TesseractEnginePool::giveBack(IdleEngine returned) {
    std::unique_ptr<tesseract::TessBaseAPI> dropped;
    std::lock_guard lock(mutex_);
    idle_.push_back(std::move(returned));
    if (idle_.size() > maxIdleEngines) {
        dropped = std::move(idle_.front().engine); // released after the lock
        idle_.erase(idle_.begin());
    }
}

std::unique_ptr<tesseract::TessBaseAPI> TesseractEnginePool::create(const TesseractEngineKey& key,
                                                                   const QString& directory) {
    const bool detectsScript = key.languages == QLatin1String("osd");

    Variables variables;
    if (!key.usesDictionaries) {
        for (const char* name : {"load_system_dawg", "load_freq_dawg", "load_unambig_dawg", "load_punc_dawg",
                                 "load_number_dawg", "load_bigram_dawg"}) {
            variables.add(name, "0");
        }
    }
    // Tesseract reads the word list while it initialises, so the file lives until then.
    QTemporaryFile wordFile(QDir::tempPath() + "/quorvane-words-XXXXXX.txt");
    if (!key.userWords.isEmpty()) {
        if (!wordFile.open() || wordFile.write((key.userWords.join('\n') + '\n').toUtf8()) < 0 ||
            !wordFile.flush()) {
            throw PlatformError(QString("The custom word list could not be handed to Tesseract: %1")
                                    .arg(wordFile.errorString()));
        }
        variables.add("user_words_file", QFile::encodeName(wordFile.fileName()).toStdString());
    }

    auto engine = std::make_unique<tesseract::TessBaseAPI>();
    const QByteArray dataPath = QFile::encodeName(directory);
    const QByteArray languages = key.languages.toUtf8();
    const auto mode = detectsScript ? tesseract::OEM_TESSERACT_ONLY : tesseract::OEM_LSTM_ONLY;
    if (engine->Init(dataPath.constData(), languages.constData(), mode, nullptr, 0, &variables.names,
                     &variables.values, false) != 0) {
        const QString missing = missingLanguageData(key.languages, directory);
        throw PlatformError(
            missing.isEmpty()
                ? QString("Tesseract could not load the language data \"%1\" from %2.")
                      .arg(key.languages, directory)
                : QString("The Tesseract language data %1 is not installed in %2.").arg(missing, directory));
    }
    engine->SetPageSegMode(detectsScript ? tesseract::PSM_OSD_ONLY : tesseract::PSM_AUTO);
    initialisations_.fetch_add(1);
    if (!detectsScript && this == &shared()) {
        // Tesseract shares the recognisers' word lists through a cache of its own, made as the
        // first engine loads them and so torn down at exit before this pool: its engines must be
        // gone by then, or they hand their lists back to a cache that no longer exists.
        static const bool releasedAtExit = std::atexit([] { shared().releaseIdleEngines(); }) == 0;
        Q_UNUSED(releasedAtExit);
    }
    return engine;
}

void TesseractEnginePool::releaseIdleEngines() {
    std::vector<IdleEngine> released;
    std::lock_guard lock(mutex_);
    released.swap(idle_); // destroyed after the lock
}

std::uint64_t TesseractEnginePool::recognitionCount() {
    return recognitions.load();
}

TesseractEnginePool::RecognitionTime TesseractEnginePool::recognitionTime() {
    return {recognitionElapsed.load(), recognitionProcessor.load()};
}

QString TesseractEnginePool::dataDirectory() {
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    return prefix.isEmpty() ? QStringLiteral("/usr/share/tesseract-ocr/5/tessdata") : prefix;
}

QString TesseractEnginePool::tesseractCode(const QString& tag) { return OCRLanguageCatalog::recognizerCode(tag); }

bool TesseractEnginePool::isInstalled(const QString& code) {
    return !code.isEmpty() && QFileInfo(QDir(dataDirectory()).filePath(code + ".traineddata")).isFile();
}

} // namespace quorvane
