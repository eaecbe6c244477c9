// korvanex-geri-yukle: the restores of the restore window for a machine without a display. The
// same checks and the same runs, the restore log line written into the program folder this
// executable lies in (the service's, when installed beside it). It takes no folder lock: a
// restore may run while the service runs.
#include "cli/arguments.h"
#include "cli/terminal.h"
#include "core/clock.h"
#include "core/service.h"
#include "i18n/filesearch.h"
#include "i18n/translate.h"
#include "platform/files.h"
#include "platform/kxerror.h"
#include "platform/pathname.h"
#include "platform/termination.h"
#include "runs/oplog.h"
#include "runs/restorechecks.h"
#include "runs/runcontroller.h"
#include "settings/kxstorage.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>
#include <climits>
#include <memory>
#include <unistd.h>

using namespace kx;
using namespace kx::cli;

namespace {

enum Exit { Restored = 0, Failed = 1, WrongUsage = 2, NotLogged = 3 };

// The folder of this executable, links resolved, as the bytes on disk say it.
QString programFolder()
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    const QString exe = n > 0 ? decodePath(buffer, n) : QCoreApplication::applicationFilePath();
    return exe.left(exe.lastIndexOf(u'/') + 1);
}

// The language chosen for the program in its folder: log lines and messages read as the
// service's do.
void loadLanguage(const QString &folder, TFileSearch &translator)
{
    TKxStorage settings = TKxStorage::programSettings();
    settings.setFileName(folder + QStringLiteral("Ayar.ini"));
    const QString path = languageFilePath(folder, settings.value(QStringLiteral("DIL")));
    if (isPlainFile(path))
        translator.setFilename(path);
}

// Names as the user typed them, made absolute: the log tells where a restore went, and the
// database server does not share our working folder.
QString absolute(const QString &path)
{
    if (path.isEmpty() || path.startsWith(u'/'))
        return path;
    char buffer[PATH_MAX];
    if (!::getcwd(buffer, sizeof buffer))
        return path;
    const QString cleaned = QDir::cleanPath(decodePath(buffer, qstrlen(buffer)) + u'/' + path);
    // A folder named with a trailing separator keeps it.
    return path.endsWith(u'/') && !cleaned.endsWith(u'/') ? cleaned + u'/' : cleaned;
}

// The first line of the file, without its line end.
QString passwordFromFile(const QString &path)
{
    QByteArray bytes = readWholeFile(path);
    const qsizetype end = bytes.indexOf('\n');
    if (end >= 0)
        bytes.truncate(end);
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    return QString::fromUtf8(bytes);
}

QString password(const Options &o, const QString &prompt)
{
    if (!o.passwordFile.isEmpty())
        return passwordFromFile(o.passwordFile);
    return readSecret(trMsg(prompt) + QStringLiteral(": ")).value_or(QString());
}

} // namespace

int main(int argc, char *argv[])
{
    // Names as the bytes the system gave, before the application object looks at them.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(decodePath(argv[i], qstrlen(argv[i])));
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvanex-geri-yukle"));

    const QString folder = programFolder();
    TFileSearch translator;
    loadLanguage(folder, translator);
    std::unique_ptr<SharedErrorTranslation> errorTexts;
    if (translator.hasImage()) {
        translator.prepareSharedLookups();
        errorTexts = std::make_unique<SharedErrorTranslation>(translator);
        setErrorTextTranslator(errorTexts.get());
    }
    setTranslators([&translator](const QString &t) { return CompDilCevirMsg(translator, t); }, nullptr);
    // Ends before the translator does, whatever way main is left.
    struct Untranslate {
        ~Untranslate()
        {
            setErrorTextTranslator(nullptr);
            setTranslators(nullptr, nullptr);
        }
    } untranslate;

    const Options o = parseArguments(arguments);
    if (o.help) {
        printLine(stdout, helpText());
        return Restored;
    }
    if (!o.problem.isEmpty()) {
        printLine(stderr, o.problem);
        printLine(stderr, usageText());
        return WrongUsage;
    }

    std::unique_ptr<Run> run;
    try {
        RestoreCheck check;
        if (o.kind == Options::Kind::Firebird) {
            FirebirdRestoreParams p{absolute(o.source), absolute(o.target), o.user,
                                    password(o, QStringLiteral("Kullanici Parolasi")), clock::today()};
            check = checkFirebirdRestore(p, o.target, o.overwrite);
            run = std::make_unique<FirebirdRestoreRun>(p);
        } else {
            FolderRestoreParams p;
            p.zipMode = o.kind == Options::Kind::Zip;
            (p.zipMode ? p.archive : p.sourceFolder) = absolute(o.source);
            p.targetFolder = absolute(o.target);
            p.overwrite = o.overwrite;
            if (p.zipMode) {
                p.password = password(o, QStringLiteral("Parola"));
                check = checkZipRestore(p);
            } else {
                check = checkFolderRestore(p);
            }
            run = std::make_unique<FolderRestoreRun>(p);
        }
        // --overwrite is the answer to the window's question.
        if (check.verdict == RestoreCheck::Verdict::Stop) {
            printLine(stderr, check.message.text());
            return Failed;
        }
    } catch (const Error &e) {
        printLine(stderr, e.text());
        return Failed;
    }
    // Only after the prompt: there Ctrl-C has to end the program at once, and this handler only
    // tells the event loop, which does not run yet.
    installTerminationHandler();

    setLogFolder(folder);
    RunController runs;
    QStringList logFailures;
    runs.setErrorDisplay([&logFailures](const QString &text) { logFailures.append(text); });
    Run *const r = run.get();
    ProgressLine progress(trMsg(QStringLiteral("Geri Yukleme")));
    QObject::connect(r, &Run::displayChanged, r, [r, &progress] {
        if (!r->display().ended)
            progress.bar(r->display().barPosition, r->display().barMaximum);
    });
    QTimer seconds;
    if (o.kind == Options::Kind::Firebird) {
        QObject::connect(&seconds, &QTimer::timeout, &seconds, [&progress] { progress.tick(); });
        seconds.start(1000);
    }
    bool ended = false;
    RunDisplay last;
    QObject::connect(r, &Run::finished, r, [r, &ended, &last] {
        ended = true;
        last = r->display();
    });
    QObject::connect(&runs, &RunController::runEnded, &app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    try {
        if (runs.start(std::move(run)) == 0)
            return Failed;
        printLine(stdout, r->display().source + QStringLiteral(" -> ") + r->display().target);
    } catch (const Error &e) {
        printLine(stderr, e.text());
        return Failed;
    }
    app.exec();
    seconds.stop();
    // The controller hands a run's late failures (the log not written) over from a fresh turn
    // of the event loop, after its end.
    QCoreApplication::sendPostedEvents();
    progress.finish();

    // A line written now is this run's: the log's copy was empty until its write.
    const QStringList lines = restoreLog().lines();
    const QString status = lines.isEmpty() ? QString() : parseLogLine(lines.last())[6];
    for (const QString &f : std::as_const(logFailures))
        printLine(stderr, f);
    if (!ended) {
        printLine(stderr, trMsg(QStringLiteral("Iptal edildi.")));
        return Failed;
    }
    if (last.failed) {
        QString reason = status;
        if (reason.isEmpty())
            reason = last.failure.isEmpty() ? trMsg(QStringLiteral("Geri Yukleme")) + trMsg(QStringLiteral(" Islemi Basarisiz."))
                                            : last.failure;
        printLine(stderr, reason);
        return Failed;
    }
    printLine(stdout, status.isEmpty() ? trMsg(QStringLiteral("Geri Yukleme")) + trMsg(QStringLiteral(" Islemi Tamamlandi.")) : status);
    return logFailures.isEmpty() ? Restored : NotLogged;
}
