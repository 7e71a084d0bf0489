#include "e2e/CliSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <unistd.h>

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

QStringList inTerminal(const QStringList& arguments, int columns, int rows) {
    const auto quoted = [](QString word) { return "'" + word.replace("'", "'\\''") + "'"; };
    QStringList command{QString("stty cols %1 rows %2 && exec").arg(columns).arg(rows), quoted(binPath("quorvane-cli"))};
    for (const auto& argument : arguments) {
        command << quoted(argument);
    }
    return {"--quiet", "--return", "--command", command.join(' '), "/dev/null"};
}

bool waitForOutput(QProcess& process, QString& seen, const QString& text, int limitMs) {
    QElapsedTimer timer;
    timer.start();
    process.waitForStarted();
    while (!seen.contains(text) && timer.elapsed() < limitMs && process.state() == QProcess::Running) {
        process.waitForReadyRead(200);
        seen += QString::fromUtf8(process.readAllStandardOutput());
    }
    return seen.contains(text);
}

QStringList terminalRows(const QString& output) {
    QStringList rows{QString()};
    qsizetype row = 0, column = 0;
    for (qsizetype i = 0; i < output.size(); ++i) {
        const QChar c = output[i];
        if (c == '\033' && i + 1 < output.size() && output[i + 1] == '[') {
            qsizetype end = i + 2;
            while (end < output.size() && output[end].isDigit()) {
                ++end;
            }
            const int count = std::max(1, output.mid(i + 2, end - i - 2).toInt());
            const QChar command = end < output.size() ? output[end] : QChar();
            if (command == 'A') {
                row = std::max<qsizetype>(0, row - count);
            } else if (command == 'J' || command == 'K') {
                rows[row].truncate(column);
                if (command == 'J') {
                    rows.resize(row + 1);
                }
            }
            i = end;
        } else if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            if (++row == rows.size()) {
                rows.append(QString());
            }
        } else {
            QString& text = rows[row];
            text = text.leftJustified(column, ' ').left(column) + c + text.mid(column + 1);
            ++column;
        }
    }
    if (rows.last().isEmpty()) {
        rows.removeLast();
    }
    return rows;
}

::testing::AssertionResult says(const QString& text, const QString& part) {
    if (text.contains(part)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << '"' << part.toStdString() << "\" is not in:\n" << text.toStdString();
}

QString searchableOutput(const QString& folder, const QString& source) {
    return folder + "/" + QFileInfo(source).completeBaseName() + "_searchable.pdf";
}

QStringList asNobodyWhenRoot() {
    return geteuid() == 0 ? QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} : QStringList{};
}

bool writeLongDocument(const QString& path) {
    QStringList pages{"--empty", "--pages"};
    for (int page = 0; page < 20; ++page) {
        pages << corpusPath("linn.pdf") << "1";
    }
    return runProgram("qpdf", pages + QStringList{"--", path}).exitCode == 0;
}

QString copyCorpusFile(const QString& name, const QString& folder) {
    const QString target = folder + QLatin1Char('/') + name;
    QFile::copy(corpusPath(name), target);
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::ReadGroup);
    return target;
}

} // namespace quorvane::test
