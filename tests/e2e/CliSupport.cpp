#include "e2e/CliSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quorvane::test {

const QStringList englishOnlyArguments{"--languages", "en-US", "--no-auto-language"};
const QStringList plainRecognition =
    englishOnlyArguments + QStringList{"--no-rotate", "--no-deskew", "--no-perspective"};

CliRun runCli(const QStringList& arguments, const QByteArray& input, const QStringList& prefix) {
    QTemporaryDir temporary;
    QFile::setPermissions(temporary.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", temporary.path());
    const QString cli = binPath("quorvane-cli");
    CliRun run;
    run.result = prefix.isEmpty()
                     ? runProgram(cli, arguments, input, 600000, environment)
                     : runProgram(prefix.first(), prefix.mid(1) + QStringList{cli} + arguments, input, 600000, environment);
    run.leftoverTemporaryFiles = QDir(temporary.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    return run;
}

QString searchableOutput(const QString& folder, const QString& source) {
    return folder + "/" + QFileInfo(source).completeBaseName() + "_searchable.pdf";
}

QString copyCorpusFile(const QString& name, const QString& folder) {
    const QString target = folder + QLatin1Char('/') + name;
    QFile::copy(corpusPath(name), target);
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::ReadGroup);
    return target;
}

} // namespace quorvane::test
