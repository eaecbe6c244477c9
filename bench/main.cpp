// korvanex-bench: times the project's own run code against the tools a user would reach for
// instead (find, cp -a, zip, 7z, gbak), on generated data, and prints a table and one
// "ratio NAME VALUE" line per comparison (peer time / project time: above 1 the project is
// faster). Run after scripts/test (it needs the Firebird server that script starts).
#include "core/codepage.h"
#include "core/jobfile.h"
#include "core/service.h"
#include "i18n/filesearch.h"
#include "i18n/translate.h"
#include "platform/files.h"
#include "platform/folderdelete.h"
#include "archive/zipwriter.h"
#include "runs/collect.h"
#include "runs/firebirdbackuprun.h"
#include "runs/folderbackuprun.h"
#include "runs/folderrestorerun.h"
#include "runs/oplog.h"
#include "runs/runcontroller.h"
#include "scheduling/scheduler.h"
#include "ui/anaform.h"
#include "app/backupwatch.h"
#include "app/joblistmodel.h"
#include "ui/managementwindow.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <functional>
#include <sys/resource.h>

using namespace kx;

namespace {

bool g_quick = false;
QString g_work;

void say(const QString &text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

double seconds(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e9;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

void runTool(const QString &program, const QStringList &args, const QString &dir = QString())
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    if (!dir.isEmpty())
        p.setWorkingDirectory(dir);
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        say(QStringLiteral("warning: %1 %2 ended with %3").arg(program, args.join(u' ')).arg(p.exitCode()));
}

void wipe(const QString &path)
{
    if (QFileInfo(path).isDir())
        deleteFolderTree(path);
    else
        QFile::remove(path);
}

void writeFile(const QString &path, qint64 size, QRandomGenerator &rng)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    static const char words[][9] = {"yedek ", "kasa ", "stok ", "fatura ", "cari ", "hesap ", "tarih ", "tutar "};
    QByteArray chunk;
    while (chunk.size() < 65536)
        chunk += words[rng.bounded(8)];
    qint64 left = size;
    while (left > 0) {
        const qint64 n = std::min<qint64>(left, chunk.size());
        f.write(chunk.constData(), n);
        left -= n;
    }
}

// Makes a data tree once: later runs find it ready; one whose making was cut short is made anew.
void makeOnce(const QString &root, const std::function<void()> &make)
{
    if (QFileInfo::exists(root + "/.ready"))
        return;
    wipe(root);
    QDir().mkpath(root);
    make();
    QFile ready(root + "/.ready");
    ready.open(QIODevice::WriteOnly);
}

// folders × files text files of a few KiB, plus `big` files of bigSize bytes.
void makeTree(const QString &root, int folders, int filesPerFolder, int big, qint64 bigSize)
{
    makeOnce(root, [&] {
        QRandomGenerator rng(42);
        for (int d = 0; d < folders; ++d) {
            const QString dir = root + QStringLiteral("/klasor%1/alt%2").arg(d / 10).arg(d % 10);
            QDir().mkpath(dir);
            for (int i = 0; i < filesPerFolder; ++i)
                writeFile(dir + QStringLiteral("/belge%1.txt").arg(i), 512 + rng.bounded(6000), rng);
        }
        for (int b = 0; b < big; ++b)
            writeFile(root + QStringLiteral("/buyuk%1.dat").arg(b), bigSize, rng);
    });
}

struct Row {
    QString name, project, peer;
    double projectSeconds = 0, peerSeconds = 0;
    double projectCpu = 0, peerCpu = 0; // processor time (all threads; the peer's process)
};
QList<Row> g_rows;

double cpuOf(int who)
{
    rusage u{};
    getrusage(who, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs project and peer alternately, `rounds` times each, after one untimed warm-up of both.
void compare(const QString &name, const QString &peerName, const std::function<void()> &prepare,
             const std::function<void()> &project, const std::function<void()> &peer, int rounds = 3)
{
    say(QStringLiteral("== %1").arg(name));
    prepare();
    project();
    prepare();
    peer();
    QList<double> mine, theirs, mineCpu, theirsCpu;
    for (int r = 0; r < rounds; ++r) {
        prepare();
        double cpu = cpuOf(RUSAGE_SELF);
        mine.append(seconds(project));
        mineCpu.append(cpuOf(RUSAGE_SELF) - cpu);
        prepare();
        cpu = cpuOf(RUSAGE_CHILDREN);
        theirs.append(seconds(peer));
        theirsCpu.append(cpuOf(RUSAGE_CHILDREN) - cpu);
        say(QStringLiteral("   round %1: korvanex %2 s, %3 %4 s").arg(r + 1).arg(mine.last(), 0, 'f', 3).arg(peerName).arg(theirs.last(), 0, 'f', 3));
    }
    g_rows.append({name, QStringLiteral("korvanex"), peerName, median(mine), median(theirs), median(mineCpu),
                   median(theirsCpu)});
}

// Runs one run of the program's own to its end, headless: set up, prepared, worked and ended
// exactly as a scheduled run, without its window.
void runToEnd(std::unique_ptr<Run> run)
{
    RunController controller;
    QEventLoop loop;
    QObject::connect(&controller, &RunController::runEnded, &loop, &QEventLoop::quit);
    if (controller.start(std::move(run)) != 0)
        loop.exec();
}

void folderBackup(const QString &source, const QString &target, bool zip)
{
    FolderBackupParams p;
    p.jobName = QStringLiteral("Bench.nyd");
    p.sourceFolder = source;
    p.targetFolder = target;
    p.overwrite = true;
    p.zip = zip;
    p.zipPassword = QStringLiteral("parola12");
    p.filters = {QStringLiteral("*.*"), {}, {}, {}, {}, {}, {}, {}, {}, {}};
    runToEnd(std::make_unique<FolderBackupRun>(g_work + "/prog", p));
}

// The program's ZIP restore of a benchmark archive, and 7-Zip's (with any further switches).
void restoreZip(const QString &archive, const QString &target)
{
    FolderRestoreParams p;
    p.zipMode = true;
    p.archive = archive;
    p.targetFolder = target;
    p.overwrite = true;
    p.password = QStringLiteral("parola12");
    runToEnd(std::make_unique<FolderRestoreRun>(p));
}

void extractWith7z(const QString &archive, const QString &target, const QStringList &switches)
{
    runTool(QStringLiteral("7z"), QStringList{QStringLiteral("x"), QStringLiteral("-pparola12"), QStringLiteral("-y"),
                                              QStringLiteral("-bd")}
                                      + switches + QStringList{QStringLiteral("-o") + target, archive});
}

QString firebirdPassword()
{
    const QByteArray env = qgetenv("KX_FB_PASSWORD");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    QFile f(QStringLiteral("/etc/firebird/3.0/SYSDBA.password"));
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith("ISC_PASSWORD="))
                return QString::fromLatin1(line.mid(13)).remove(u'"');
    return QString();
}

// A Firebird database of `rows` rows (some 385 bytes a row), made once through the server.
void makeDatabase(const QString &db, int rows)
{
    const QString pw = firebirdPassword();
    const QString ready = db + QStringLiteral(".ready-%1").arg(rows);
    if (!QFileInfo::exists(ready)) {
        say(QStringLiteral("making a database of %1 rows").arg(rows));
        QDir().mkpath(QFileInfo(db).absolutePath());
        QFile::remove(db);
        const QString sql = QStringLiteral(
                                "create database '127.0.0.1:%1' user 'SYSDBA' password '%2' page_size 8192;\n"
                                "create table kayit (id integer not null primary key, ad varchar(200), "
                                "aciklama varchar(300), tutar numeric(15,2), tarih timestamp);\n"
                                "set term ^;\nexecute block as declare i integer = 0; begin "
                                "while (i < %3) do begin insert into kayit values (:i, "
                                "'Musteri ' || :i || ' ' || lpad('', 120, 'x'), lpad('', 250, 'aciklama '), "
                                ":i * 1.5, current_timestamp); i = i + 1; end end^\nset term ;^\ncommit;\n")
                                .arg(db, pw)
                                .arg(rows);
        QProcess isql;
        isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q")});
        isql.waitForStarted();
        isql.write(sql.toUtf8());
        isql.closeWriteChannel();
        isql.waitForFinished(-1);
        QFile mark(ready);
        mark.open(QIODevice::WriteOnly);
    }
}

void benchFirebird()
{
    const QString pw = firebirdPassword();
    const QString db = g_work + "/fb/bench.fdb";
    const int rows = g_quick ? 50000 : 520000; // about 15 MB / 200 MB
    makeDatabase(db, rows);
    const QString out = g_work + "/fb/out";
    compare(QStringLiteral("firebird"), QStringLiteral("gbak -b -se"), [&] { wipe(out); QDir().mkpath(out); },
            [&] {
                FirebirdBackupParams p;
                p.jobName = QStringLiteral("Bench.fyd");
                p.userName = QStringLiteral("SYSDBA");
                p.password = pw;
                p.database = db;
                p.targetFolder = out;
                p.overwrite = true;
                runToEnd(std::make_unique<FirebirdBackupRun>(g_work + "/prog", p));
            },
            [&] {
                runTool(QStringLiteral("gbak"), {QStringLiteral("-b"), QStringLiteral("-se"),
                                                 QStringLiteral("127.0.0.1:service_mgr"), db, out + "/peer.fbk",
                                                 QStringLiteral("-user"), QStringLiteral("SYSDBA"),
                                                 QStringLiteral("-password"), pw});
            });
}

void benchStartup()
{
    const QString prog = g_work + "/jobs/";
    QDir().mkpath(prog);
    for (int i = 0; i < 1000; ++i) {
        const QString name = prog + QStringLiteral("Is%1.%2").arg(i, 4, 10, QLatin1Char('0')).arg(i % 2 ? "fyd" : "nyd");
        writeWholeFile(name, codepage::joinLines({QStringLiteral("AKTIF=True"), QStringLiteral("KAYNAK_DIZIN=/veri"),
                                                  QStringLiteral("HEDEF_DIZIN=/yedek"), QStringLiteral("YEDEK_ZAMANI=1"),
                                                  QStringLiteral("PERYOT=1"), QStringLiteral("UNETYEDEK=False"),
                                                  QStringLiteral("GHA_YEDEK_SAATI=0"),
                                                  QStringLiteral("GRUBU=Grup%1").arg(i % 20)}),
                       true);
    }
    TAnaFormF form(prog, QString());
    QList<double> times;
    for (int r = 0; r < 5; ++r)
        times.append(seconds([&] { form.DosyaYukle(); }));
    g_rows.append({QStringLiteral("startup (1000 jobs)"), QStringLiteral("DosyaYukle"), QString(), median(times), 0});

    // The management window over the same 1,000 jobs: made and shown (both kinds listed), then
    // shown again after hiding, and a change of the group filter.
    TK_YedeklemeF *window = nullptr;
    const double first = seconds([&] {
        form.GenelYedekleme1Click();
        window = form.managementWindow();
        QCoreApplication::processEvents();
    });
    QList<double> shows, filters;
    for (int r = 0; r < 5; ++r) {
        window->hide();
        shows.append(seconds([&] {
            form.GenelYedekleme1Click();
            QCoreApplication::processEvents();
        }));
        filters.append(seconds([&] {
            window->model(JobKind::Folder).applyGroupBox(QStringLiteral("Grup%1").arg(r * 2));
            QCoreApplication::processEvents();
        }));
    }
    g_rows.append({QStringLiteral("window first shown (1000 jobs)"), QStringLiteral("TK_YedeklemeF"), QString(), first, 0});
    g_rows.append({QStringLiteral("window shown again (1000 jobs)"), QStringLiteral("TK_YedeklemeF"), QString(),
                   median(shows), 0});
    g_rows.append({QStringLiteral("group filter (500 jobs)"), QStringLiteral("applyGroupBox"), QString(), median(filters), 0});
}

void benchLookup()
{
    const QString file = g_work + "/lang.lng";
    QStringList lines{QStringLiteral("; language file")};
    for (int i = 0; i < 2000; ++i)
        lines.append(QStringLiteral("Yedekleme mesaji numara %1=Backup message number %1").arg(i));
    writeWholeFile(file, codepage::joinLines(lines));
    TFileSearch tr;
    tr.setFilename(file);
    // Every message must be found: a lookup that misses runs a different path and its time
    // would mean nothing. Each round starts from a freshly read file, so it pays for building
    // the index as a program does.
    for (int i : {0, 1, 1999})
        if (CompDilCevirMsg(tr, QStringLiteral("Yedekleme mesaji numara %1").arg(i))
            != QStringLiteral("Backup message number %1").arg(i))
            qFatal("lookup: message %d not translated", i);
    QList<double> times;
    for (int r = 0; r < 3; ++r) {
        tr.setFilename(file); // a fresh index each round
        int translated = 0;
        times.append(seconds([&] {
            for (int i = 0; i < 100000; ++i) {
                const QString key = QStringLiteral("Yedekleme mesaji numara %1").arg((i * 7919) % 2000);
                translated += CompDilCevirMsg(tr, key) != key;
            }
        }));
        if (translated != 100000)
            qFatal("lookup: %d of 100000 messages translated", translated);
    }
    g_rows.append({QStringLiteral("lookup (100000)"), QStringLiteral("CompDilCevirMsg"), QString(), median(times), 0});
}

// The scheduler between the start and the end of a run: processor time spent while a walk waits
// 2 s for a run of its kind.
void benchSchedulerWait()
{
    const QString prog = g_work + "/sched/";
    QDir().mkpath(prog);
    writeWholeFile(prog + "a.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n", true);
    ServiceContext context;
    RunningState running;
    Scheduler *scheduler = nullptr;
    Scheduler s(context, running, [&](JobKind, const QString &, const JobFile &, bool) -> quint64 {
        running.set(RunKind::FolderBackup, true);
        QTimer::singleShot(2000, [&] {
            running.set(RunKind::FolderBackup, false);
            scheduler->runEnded(1);
        });
        return 1;
    });
    scheduler = &s;
    rusage before, after;
    getrusage(RUSAGE_SELF, &before);
    const double wall = seconds([&] {
        QEventLoop loop;
        QObject::connect(&s, &Scheduler::walkEnded, &loop, &QEventLoop::quit);
        s.tick(prog, {QStringLiteral("a.nyd")}, {});
        if (s.busy())
            loop.exec();
    });
    getrusage(RUSAGE_SELF, &after);
    auto cpu = [](const rusage &u) {
        return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    const double share = 100.0 * (cpu(after) - cpu(before)) / wall;
    g_rows.append({QStringLiteral("scheduler wait (% of a core)"), QStringLiteral("TimerOTOTimer"), QString(), share, 0});
}


// A tick over 1,000 jobs, with and without the watch: the scheduler's walk alone (loading every
// job file, none due), then the walk feeding the watch, the stale check over a full backup log's
// record and the status file written. The second row is what the watch adds.
void benchWatchTick()
{
    const QString prog = g_work + "/watch/";
    wipe(prog);
    QDir().mkpath(prog + "prom");
    QStringList jobs, lines;
    for (int i = 0; i < 1000; ++i) {
        const QString name = QStringLiteral("Is%1.nyd").arg(i);
        jobs.append(name);
        writeWholeFile(prog + name, "AKTIF=False\r\nYEDEK_ZAMANI=2\r\nGRUBU=Muhasebe\r\n", true);
    }
    for (int i = 0; i < OperationLog::kMaxLines; ++i)
        lines.append(formatLogLine({QStringLiteral("Otomatik Yedekleme"), jobs.at(i % 1000), QStringLiteral("01.06.2026"),
                                    QStringLiteral("07:00:00"), QStringLiteral("/k"), QStringLiteral("/h"),
                                    i % 3 ? QStringLiteral("Basarili") : QStringLiteral("Basarisiz.")}));
    ServiceContext context;
    RunningState running;
    const auto start = [](JobKind, const QString &, const JobFile &, bool) -> quint64 { return 0; };
    QList<double> plain, watched, written;
    for (int r = 0; r < 3; ++r) {
        Scheduler s(context, running, start);
        plain.append(seconds([&] { s.tick(prog, jobs, {}); }));
        NoticeBoard board;
        BackupWatch watch(board, QDateTime::currentDateTime(), QStringLiteral("bench"));
        watch.logChanged(lines);
        Scheduler w(context, running, start);
        w.setJobSeen([&](JobKind kind, const QString &name, const JobFile &job) { watch.jobSeen(kind, name, job); });
        watched.append(seconds([&] {
            w.tick(prog, jobs, {});
            watch.tick(jobs, {}, QDateTime::currentDateTime());
        }));
        watch.setStatusFolder(prog + "prom");
        written.append(seconds([&] { watch.runEnded(); }));
    }
    g_rows.append({QStringLiteral("tick, 1000 jobs, watched"), QStringLiteral("korvanex"),
                   QStringLiteral("the walk alone"), median(watched), median(plain)});
    g_rows.append({QStringLiteral("status file, 1000 jobs"), QStringLiteral("korvanex"), QString(), median(written), 0});
}

} // namespace

void benchFiles();
void benchRunStart();
void benchArchive();
void benchTrees();
void benchOpLog();
int scaleChild(qint64 files);
int oplogChild();
void report();

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    g_quick = args.contains(QStringLiteral("--quick"));
    const qsizetype w = args.indexOf(QStringLiteral("--workdir"));
    g_work = w > 0 && w + 1 < args.size() ? args.at(w + 1) : QStringLiteral("/var/tmp/korvanex-bench");
    g_work += g_quick ? QStringLiteral("/quick") : QStringLiteral("/full");
    QDir().mkpath(g_work + "/prog");

    setLogFolder(g_work + "/prog");

    // --scale N: one collection and copy of N tiny files, in a process of its own so its peak
    // memory is its own (the parent starts it).
    const qsizetype scale = args.indexOf(QStringLiteral("--scale"));
    if (scale > 0 && scale + 1 < args.size())
        return scaleChild(args.at(scale + 1).toLongLong());
    // --oplog: one entry written to the large operation log the parent made, alone in a process.
    if (args.contains(QStringLiteral("--oplog")))
        return oplogChild();
    // --ui: only the measures of the program's own start, windows and translation; --archive:
    // only archives, copies and scale.
    const bool onlyUi = args.contains(QStringLiteral("--ui"));
    const bool onlyArchive = args.contains(QStringLiteral("--archive"));
    // --runstart: only the service's thread while a run of many files starts.
    if (args.contains(QStringLiteral("--runstart"))) {
        benchRunStart();
        report();
        return 0;
    }
    // --trees: zip, copy and restores on real files, small text, logs and random data.
    if (args.contains(QStringLiteral("--trees"))) {
        benchTrees();
        report();
        return 0;
    }
    if (onlyArchive) {
        benchArchive();
        report();
        return 0;
    }
    if (!onlyUi) {
        benchFiles();
        benchOpLog();
        benchArchive();
        benchRunStart();
        benchFirebird();
    }
    benchStartup();
    benchLookup();
    benchSchedulerWait();
    benchWatchTick();
    report();
    return 0;
}

void benchFiles()
{
    // collect: many files in many folders.
    const QString many = g_work + "/many";
    say(QStringLiteral("making the trees"));
    makeTree(many, g_quick ? 100 : 1000, g_quick ? 100 : 100, 0, 0);
    compare(QStringLiteral("collect"), QStringLiteral("find -type f"), [] {},
            [&] { collectFiles(many, g_work + "/nowhere", true, {QStringLiteral("*.*")}); },
            [&] { runTool(QStringLiteral("find"), {many, QStringLiteral("-type"), QStringLiteral("f")}); });
    // find -type f never asks for a file's size; the collection must, for its byte counter. The
    // same walk with sizes shows where the difference lies.
    compare(QStringLiteral("collect-sizes"), QStringLiteral("find -type f -printf %s"), [] {},
            [&] { collectFiles(many, g_work + "/nowhere", true, {QStringLiteral("*.*")}); },
            [&] {
                runTool(QStringLiteral("find"), {many, QStringLiteral("-type"), QStringLiteral("f"),
                                                 QStringLiteral("-printf"), QStringLiteral("%s\n")});
            });

    // copy / zip / unzip: small text files and a few large ones.
    const QString tree = g_work + "/tree";
    makeTree(tree, g_quick ? 40 : 400, 50, g_quick ? 1 : 3, g_quick ? 16 << 20 : 64 << 20);
    const QString out = g_work + "/out";
    compare(QStringLiteral("copy"), QStringLiteral("cp -a"), [&] { wipe(out); QDir().mkpath(out); },
            [&] { folderBackup(tree, out, false); },
            [&] { runTool(QStringLiteral("cp"), {QStringLiteral("-a"), tree, out + "/peer"}); });

    compare(QStringLiteral("zip"), QStringLiteral("zip -9 -r -q -P"), [&] { wipe(out); QDir().mkpath(out); },
            [&] { folderBackup(tree, out, true); },
            [&] {
                runTool(QStringLiteral("zip"), {QStringLiteral("-9"), QStringLiteral("-r"), QStringLiteral("-q"),
                                                QStringLiteral("-P"), QStringLiteral("parola12"), out + "/peer.zip",
                                                QStringLiteral(".")},
                        tree);
            });

    // unzip: the project's own AES archive, restored by the project and by 7z.
    const QString archive = g_work + "/bench.Zip";
    if (!QFileInfo::exists(archive)) {
        wipe(out);
        folderBackup(tree, out, true);
        for (const QFileInfo &fi : QDir(out).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
            QFile::rename(fi.filePath() + "/tree.Zip", archive);
    }
    const QString restored = g_work + "/restored";
    compare(QStringLiteral("unzip"), QStringLiteral("7z x"), [&] { wipe(restored); },
            [&] { restoreZip(archive, restored); }, [&] { extractWith7z(archive, restored, {}); });

}

QStringList g_notes; // figures that are no time: sizes, bytes written, memory

qint64 procValue(const char *file, const QByteArray &key)
{
    QFile f(QString::fromLatin1(file));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).simplified().split(' ').value(0).toLongLong();
    return -1;
}

qint64 archiveSizeIn(const QString &folder)
{
    for (const QFileInfo &run : QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
        for (const QFileInfo &f : QDir(run.filePath()).entryInfoList({QStringLiteral("*.Zip")}, QDir::Files))
            return f.size();
    return -1;
}

// Tiny files for the scale measure: their number counts, not their bytes.
void makeTinyTree(const QString &root, qint64 files)
{
    makeOnce(root, [&] {
        const qint64 perFolder = 1000;
        for (qint64 i = 0; i < files; ++i) {
            const QString dir = root + QStringLiteral("/k%1/a%2").arg(i / (perFolder * 100)).arg((i / perFolder) % 100);
            if (i % perFolder == 0)
                QDir().mkpath(dir);
            QFile f(dir + QStringLiteral("/dosya%1.txt").arg(i));
            f.open(QIODevice::WriteOnly);
            f.write("x");
        }
    });
}

int scaleChild(qint64 files)
{
    const QString root = g_work + QStringLiteral("/scale%1").arg(files);
    makeTinyTree(root, files);
    const QString target = g_work + QStringLiteral("/scale-out%1").arg(files);
    wipe(target);
    // What earlier steps left to write (the tree, the last run's target wiped) goes to the disk
    // first, so that none of it is counted here.
    ::sync();
    const qint64 before = procValue("/proc/self/status", "VmRSS") * 1024;
    QElapsedTimer t;
    t.start();
    const FileCollection c = collectFiles(root, target, true, {QStringLiteral("*.*")});
    const double collected = t.nsecsElapsed() / 1e9;
    copyCollected(c, target, true, {}, {});
    const double total = t.nsecsElapsed() / 1e9;
    const qint64 peak = procValue("/proc/self/status", "VmHWM") * 1024;
    std::printf("scale %lld %.3f %.3f %lld\n", static_cast<long long>(c.files), collected, total,
                static_cast<long long>(peak - before));
    wipe(target);
    return 0;
}

QString oplogPath()
{
    return g_work + QStringLiteral("/oplog/backup2.kxk");
}

int oplogChild()
{
    OperationLog log;
    log.setPath(oplogPath());
    const qint64 before = procValue("/proc/self/status", "VmRSS") * 1024;
    QElapsedTimer t;
    t.start();
    log.write({QStringLiteral("Otomatik Yedekleme"), QStringLiteral("Bench.nyd"), QStringLiteral("01.01.2024"),
               QStringLiteral("10:00:00"), QStringLiteral("/veri"), QStringLiteral("/yedek"), QStringLiteral("Basarili")});
    const double took = t.nsecsElapsed() / 1e9;
    const qint64 peak = procValue("/proc/self/status", "VmHWM") * 1024;
    std::printf("oplog %.3f %lld %lld\n", took, static_cast<long long>(peak - before),
                static_cast<long long>(log.lastBytesRead()));
    return log.takeFailure().isEmpty() && log.lines().size() == OperationLog::kMaxLines ? 0 : 1;
}

// An operation log grown far beyond its 5000 lines (200 MB; 20 MB with --quick): one entry
// written to it, in a process of its own so that the peak memory is the write's.
void benchOpLog()
{
    const qint64 size = g_quick ? qint64(20) << 20 : qint64(200) << 20;
    QDir().mkpath(g_work + "/oplog");
    {
        QFile f(oplogPath());
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(oplogPath()));
        QByteArray chunk;
        for (int i = 0; chunk.size() < (1 << 20); ++i)
            chunk += "MODUL=Otomatik Yedekleme|YEDEKADI=Muhasebe.nyd|TARIH=05.01.2024|SAAT=09:05:30|KAYNAK=/veri/"
                     + QByteArray::number(i) + "|HEDEF=/yedek|DURUMU=Basarili\r\n";
        for (qint64 written = 0; written < size; written += chunk.size())
            f.write(chunk);
    }
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList childArgs = {QStringLiteral("--oplog"), QStringLiteral("--workdir"), g_work.section(u'/', 0, -2)};
    if (g_quick)
        childArgs.append(QStringLiteral("--quick"));
    child.start(QCoreApplication::applicationFilePath(), childArgs);
    child.waitForFinished(-1);
    const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
    if (f.size() < 4 || child.exitCode() != 0) {
        say(QStringLiteral("warning: the operation log write gave no figures"));
        return;
    }
    g_notes.append(QStringLiteral("operation log of %1 MB cut to its newest lines: one write %2 s, peak memory %3 bytes, "
                                  "%4 bytes read")
                       .arg(size >> 20)
                       .arg(f[1].toDouble(), 0, 'f', 3)
                       .arg(f[2].toLongLong())
                       .arg(f[3].toLongLong()));
}

void benchArchive()
{
    const QString tree = g_work + "/tree";
    makeTree(tree, g_quick ? 40 : 400, 50, g_quick ? 1 : 3, g_quick ? 16 << 20 : 64 << 20);
    const QString out = g_work + "/out";
    const QString peer = g_work + "/peer";
    auto fresh = [&] {
        wipe(out);
        wipe(peer);
        QDir().mkpath(out);
        QDir().mkpath(peer);
    };
    compare(QStringLiteral("zip vs zip -9"), QStringLiteral("zip -9 -r -q -P"), fresh,
            [&] { folderBackup(tree, out, true); },
            [&] {
                runTool(QStringLiteral("zip"), {QStringLiteral("-9"), QStringLiteral("-r"), QStringLiteral("-q"),
                                                QStringLiteral("-P"), QStringLiteral("parola12"), peer + "/zip9.zip",
                                                QStringLiteral(".")},
                        tree);
            });
    const qint64 zip9Size = QFileInfo(peer + "/zip9.zip").size();
    compare(QStringLiteral("zip vs 7z"), QStringLiteral("7z a -tzip -mx=5 -mem=AES256 -mmt=2"), fresh,
            [&] { folderBackup(tree, out, true); },
            [&] {
                runTool(QStringLiteral("7z"), {QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("-mx=5"),
                                               QStringLiteral("-mem=AES256"), QStringLiteral("-mmt=2"),
                                               QStringLiteral("-pparola12"), QStringLiteral("-bd"), peer + "/7z.zip",
                                               QStringLiteral(".")},
                        tree);
            });
    const qint64 sevenSize = QFileInfo(peer + "/7z.zip").size();
    // Bytes the run sends to the file system, against the archive's size.
    fresh();
    const qint64 writtenBefore = procValue("/proc/self/io", "write_bytes");
    folderBackup(tree, out, true);
    const qint64 written = procValue("/proc/self/io", "write_bytes") - writtenBefore;
    const qint64 ownSize = archiveSizeIn(out);
    g_notes.append(QStringLiteral("archive sizes: korvanex %1 bytes, zip -9 %2 bytes (%3), 7z -mx=5 %4 bytes")
                       .arg(ownSize)
                       .arg(zip9Size)
                       .arg(ownSize <= zip9Size ? QStringLiteral("not larger") : QStringLiteral("LARGER"))
                       .arg(sevenSize));
    g_notes.append(QStringLiteral("bytes written by one zip run: %1 = %2 x the archive")
                       .arg(written)
                       .arg(double(written) / double(ownSize), 0, 'f', 3));
    std::printf("ratio written-per-archive-byte %.3f\n", double(written) / double(ownSize));

    // One large file: all cores against one.
    const QString one = g_work + "/one";
    const qint64 oneSize = g_quick ? qint64(256) << 20 : qint64(1) << 30;
    if (QFileInfo(one + "/buyuk.dat").size() != oneSize) {
        wipe(one);
        QDir().mkpath(one);
        QRandomGenerator rng(7);
        writeFile(one + "/buyuk.dat", oneSize, rng);
    }
    auto packOne = [&](int threads) {
        std::atomic<qint64> done{0};
        writeAesZip(out + "/one.zip", {{one + "/buyuk.dat", "buyuk.dat", false}}, "parola12", done, {}, threads);
    };
    compare(QStringLiteral("one large file"), QStringLiteral("the same on one thread"), [&] { QFile::remove(out + "/one.zip"); },
            [&] { packOne(0); }, [&] { packOne(1); });

    // Copies: many small files, and a few large ones.
    const QString small = g_work + "/small";
    makeTree(small, g_quick ? 40 : 400, 50, 0, 0);
    compare(QStringLiteral("copy small files"), QStringLiteral("cp -a"), fresh, [&] { folderBackup(small, out, false); },
            [&] { runTool(QStringLiteral("cp"), {QStringLiteral("-a"), small, peer + "/small"}); });
    const QString large = g_work + "/large";
    makeTree(large, 0, 0, 3, g_quick ? 64 << 20 : 256 << 20);
    compare(QStringLiteral("copy large files"), QStringLiteral("cp -a"), fresh, [&] { folderBackup(large, out, false); },
            [&] { runTool(QStringLiteral("cp"), {QStringLiteral("-a"), large, peer + "/large"}); });
    fresh();

    // Scale: collection and copy of many tiny files, each count in a process of its own.
    QList<std::pair<qint64, double>> perFile;
    for (qint64 n : {g_quick ? qint64(10000) : qint64(100000), g_quick ? qint64(100000) : qint64(1000000)}) {
        say(QStringLiteral("== scale %1").arg(n));
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList childArgs = {QStringLiteral("--scale"), QString::number(n), QStringLiteral("--workdir"),
                                 g_work.section(u'/', 0, -2)};
        if (g_quick)
            childArgs.append(QStringLiteral("--quick"));
        child.start(QCoreApplication::applicationFilePath(), childArgs);
        child.waitForFinished(-1);
        const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
        if (f.size() < 5) {
            say(QStringLiteral("warning: the scale run of %1 files gave no figures").arg(n));
            continue;
        }
        const double total = f[3].toDouble();
        const qint64 peak = f[4].toLongLong();
        perFile.append({n, total / double(n)});
        g_notes.append(QStringLiteral("scale %1 files: collect %2 s, collect+copy %3 s, %4 us per file, peak memory %5 bytes per file")
                           .arg(n)
                           .arg(f[2].toDouble(), 0, 'f', 2)
                           .arg(total, 0, 'f', 2)
                           .arg(total / double(n) * 1e6, 0, 'f', 1)
                           .arg(double(peak) / double(n), 0, 'f', 0));
    }
    if (perFile.size() == 2)
        g_notes.append(QStringLiteral("time per file at %1 against %2: %3 x")
                           .arg(perFile[1].first)
                           .arg(perFile[0].first)
                           .arg(perFile[1].second / perFile[0].second, 0, 'f', 2));
}

// The service's thread while a run of many files starts: the set-up call itself, the processor
// time the thread spent from then until the run had counted its files (the thread's own clock:
// a thread that waits for the processor is not busy), and the longest the event loop stood still
// meanwhile and until the run was gone again (a timer every millisecond notes each gap; on two
// cores the collection's two threads take the processor from it now and then). The run is
// stopped once counted, so the copy is not part of it. The tree is the scale measure's:
// 1,000,000 tiny files (100,000 with --quick), made once.
void benchRunStart()
{
    const qint64 files = g_quick ? 100000 : 1000000;
    const QString root = g_work + QStringLiteral("/scale%1").arg(files);
    say(QStringLiteral("== run start, %1 files").arg(files));
    makeTinyTree(root, files);
    const QString target = g_work + "/runstart-out";
    QList<double> setups, busy, counting, ending;
    auto threadMs = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    };
    double busyFrom = 0;
    qint64 counted = 0;
    // Three rounds for the busy time, without the timer (its own ticks would be most of it), then
    // one with the timer for the stalls.
    for (int round = 0; round < 4; ++round) {
        const bool watch = round == 3;
        wipe(target);
        FolderBackupParams p;
        p.jobName = QStringLiteral("Bench.nyd");
        p.sourceFolder = root;
        p.targetFolder = target;
        p.filters = QStringList{QStringLiteral("*.*")};
        RunController controller;
        QEventLoop loop;
        QElapsedTimer sinceTick;
        double longest = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longest = std::max(longest, sinceTick.nsecsElapsed() / 1e6);
            sinceTick.start();
        });
        bool stopped = false;
        auto run = std::make_unique<FolderBackupRun>(g_work + "/prog/", p);
        QObject::connect(run.get(), &Run::displayChanged, run.get(), [&, r = run.get()] {
            if (stopped || !r->display().counted)
                return;
            stopped = true;
            if (!watch)
                busy.append(threadMs() - busyFrom);
            counted = r->display().files;
            if (watch)
                counting.append(longest);
            longest = 0;
            r->cancel();
        });
        QObject::connect(&controller, &RunController::runEnded, &loop, [&] {
            // The run is freed from the next turn of the loop on.
            QTimer::singleShot(50, &loop, &QEventLoop::quit);
        });
        QElapsedTimer setup;
        busyFrom = threadMs();
        setup.start();
        const quint64 id = controller.start(std::move(run));
        setups.append(setup.nsecsElapsed() / 1e6);
        sinceTick.start();
        if (watch)
            ticker.start(1);
        if (id != 0)
            loop.exec();
        if (watch) {
            ending.append(longest);
            say(QStringLiteral("   watched round: longest stall while counting %1 ms, until the run was gone %2 ms")
                    .arg(counting.value(0), 0, 'f', 2)
                    .arg(ending.last(), 0, 'f', 2));
        } else {
            say(QStringLiteral("   round %1: set-up %2 ms, busy until counted %3 ms")
                    .arg(round + 1)
                    .arg(setups.last(), 0, 'f', 2)
                    .arg(busy.value(round), 0, 'f', 2));
        }
    }
    wipe(target);
    g_notes.append(QStringLiteral("run start, %1 files counted: the service's thread busy %2 ms from the set-up until "
                                  "the run had counted (goal: under 20 ms; the set-up call %3 ms), longest stall of "
                                  "its event loop %4 ms while the run counted, %5 ms until the run was gone")
                       .arg(counted)
                       .arg(median(busy), 0, 'f', 2)
                       .arg(median(setups), 0, 'f', 2)
                       .arg(median(counting), 0, 'f', 2)
                       .arg(median(ending), 0, 'f', 2));
    std::printf("runstart-busy-ms %.2f\n", median(busy));
}

void report()
{
    std::printf("%-30s %14s %14s %8s\n", "measure", "korvanex", "peer", "ratio");
    for (const Row &r : g_rows) {
        if (r.peer.isEmpty()) {
            std::printf("%-30s %14.3f %14s %8s\n", qPrintable(r.name), r.projectSeconds, "-", "-");
            continue;
        }
        std::printf("%-30s %13.3fs %13.3fs %8.2f   (%s)\n", qPrintable(r.name), r.projectSeconds, r.peerSeconds,
                    r.peerSeconds / r.projectSeconds, qPrintable(r.peer));
    }
    for (const Row &r : g_rows)
        if (!r.peer.isEmpty())
            std::printf("ratio %s %.3f\n", qPrintable(r.name), r.peerSeconds / r.projectSeconds);
    for (const QString &note : std::as_const(g_notes))
        std::printf("%s\n", qPrintable(note));
}

namespace
{

// Copies the plain files under `from` (links and other kinds left out) into `to`, keeping their
// relative paths, until `budget` bytes are used up. Returns the bytes copied.
qint64 copyRealFiles(const QString &from, const QString &to, const QStringList &nameFilters, qint64 budget)
{
    qint64 used = 0;
    QDirIterator it(from, nameFilters, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext() && used < budget) {
        const QFileInfo fi(it.nextFileInfo());
        if (fi.isSymLink() || !fi.isFile() || !fi.isReadable() || fi.size() > budget - used)
            continue;
        const QString target = to + u'/' + QDir(from).relativeFilePath(fi.filePath());
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (QFile::copy(fi.filePath(), target))
            used += fi.size();
    }
    return used;
}

// Real files as a user's folders hold them: system headers, documentation, shared libraries and
// a Firebird database.
void makeRealTree(const QString &root)
{
    makeOnce(root, [&] {
        const qint64 scale = g_quick ? 10 : 1;
        say(QStringLiteral("making the real-file tree"));
        const QString db = g_work + "/fb/trees.fdb";
        makeDatabase(db, g_quick ? 10000 : 100000);
        QDir().mkpath(root + "/veri");
        QFile::copy(db, root + "/veri/muhasebe.fdb");
        copyRealFiles(QStringLiteral("/usr/include"), root + "/include", {}, (qint64(150) << 20) / scale);
        copyRealFiles(QStringLiteral("/usr/share/doc"), root + "/doc", {}, (qint64(120) << 20) / scale);
        copyRealFiles(QStringLiteral("/usr/lib/x86_64-linux-gnu"), root + "/lib", {QStringLiteral("*.so*")},
                      (qint64(130) << 20) / scale);
    });
}

// Small text files with a small vocabulary, 7 KiB on average.
void makeTextTree(const QString &root, int files)
{
    makeOnce(root, [&] {
        QRandomGenerator rng(11);
        for (int i = 0; i < files; ++i) {
            const QString dir = root + QStringLiteral("/klasor%1/alt%2").arg(i / 1000).arg((i / 50) % 20);
            if (i % 50 == 0)
                QDir().mkpath(dir);
            writeFile(dir + QStringLiteral("/belge%1.txt").arg(i), 1024 + rng.bounded(12600), rng);
        }
    });
}

// Service logs: time stamps, levels, numbers and a few dozen messages.
void makeLogTree(const QString &root, int count, qint64 size)
{
    makeOnce(root, [&] {
        static const char *const levels[] = {"INFO", "INFO", "INFO", "DEBUG", "WARN", "ERROR"};
        static const char *const messages[] = {
            "istek tamamlandi", "baglanti acildi",   "baglanti kapandi",     "sorgu yavas",
            "oturum acildi",    "oturum kapandi",    "kayit guncellendi",    "fatura olusturuldu",
            "odeme alindi",     "yedekleme basladi", "yedekleme bitti",      "disk alani azaliyor",
            "zaman asimi",      "yeniden deneniyor", "kullanici bulunamadi", "yetki reddedildi"};
        QRandomGenerator rng(23);
        for (int n = 0; n < count; ++n) {
            QFile f(root + QStringLiteral("/servis%1.log").arg(n));
            if (!f.open(QIODevice::WriteOnly))
                qFatal("cannot write %s", qPrintable(f.fileName()));
            qint64 ms = 1700000000000LL + n * 86400000LL;
            QByteArray block;
            qint64 written = 0;
            while (written < size) {
                block.clear();
                while (block.size() < (1 << 20)) {
                    ms += rng.bounded(250);
                    const QDateTime t = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
                    block += t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1();
                    block += ' ';
                    block += levels[rng.bounded(6)];
                    block += " [is-" + QByteArray::number(rng.bounded(16)) + "] ";
                    block += messages[rng.bounded(16)];
                    block += " kullanici=" + QByteArray::number(1000 + rng.bounded(5000));
                    block += " sure=" + QByteArray::number(rng.bounded(3000)) + "ms";
                    block += " istek=" + QByteArray::number(rng.generate64() & 0xFFFFFFFFFFULL, 16) + '\n';
                }
                const qint64 take = std::min<qint64>(size - written, block.size());
                f.write(block.constData(), take);
                written += take;
            }
        }
    });
}

void makeRandomTree(const QString &root, int count, qint64 size)
{
    makeOnce(root, [&] {
        QRandomGenerator rng(31);
        QByteArray block(1 << 20, Qt::Uninitialized);
        for (int n = 0; n < count; ++n) {
            QFile f(root + QStringLiteral("/rastgele%1.bin").arg(n));
            if (!f.open(QIODevice::WriteOnly))
                qFatal("cannot write %s", qPrintable(f.fileName()));
            for (qint64 written = 0; written < size; written += block.size()) {
                rng.fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
                f.write(block.constData(), std::min<qint64>(block.size(), size - written));
            }
        }
    });
}

// The first run folder in `out` (a backup run makes one).
QString runFolderIn(const QString &out)
{
    const QFileInfoList runs = QDir(out).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
    return runs.isEmpty() ? QString() : runs.first().filePath();
}

struct TreeFigures {
    QString tree;
    qint64 files = 0, bytes = 0;
    qsizetype firstRow = 0;
    qint64 ownSize = 0, zip9Size = 0;
    bool tested = false;
};
QList<TreeFigures> g_trees;

// One tree: zip against zip -9, the copy against cp -a, the ZIP restore against 7z x and the
// folder restore against cp -a, each the median of three interleaved rounds. 7-Zip tests every
// archive the program wrote here.
void benchTree(const QString &label, const QString &tree)
{
    const QString base = g_work + "/trees-work";
    const QString out = base + "/out", peer = base + "/peer", restored = base + "/restored";
    const QString archive = base + "/own.Zip", copied = base + "/copied";
    TreeFigures fig;
    fig.tree = label;
    fig.firstRow = g_rows.size();
    QDirIterator it(tree, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo fi(it.nextFileInfo());
        if (fi.fileName() != QLatin1String(".ready")) {
            ++fig.files;
            fig.bytes += fi.size();
        }
    }
    say(QStringLiteral("=== %1: %2 files, %3 bytes").arg(label).arg(fig.files).arg(fig.bytes));
    // What the last round left to write (and the files it removed) goes to the disk before the
    // next round's clock starts: on this kind of machine making files otherwise takes up to five
    // times as long while the journal catches up, whichever side happens to run then.
    auto fresh = [&] {
        wipe(out);
        wipe(peer);
        QDir().mkpath(out);
        QDir().mkpath(peer);
        ::sync();
    };
    auto test7z = [&](const QString &zip) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("7z"),
                {QStringLiteral("t"), QStringLiteral("-pparola12"), QStringLiteral("-bd"), zip});
        p.waitForFinished(-1);
        const bool ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!ok)
            say(QStringLiteral("7z t FAILED on %1:\n%2")
                    .arg(zip, QString::fromLocal8Bit(p.readAll().right(2000))));
        return ok;
    };
    // Each archive the program wrote is tested before the next round wipes it (outside the clock).
    bool allTested = true;
    int testedCount = 0;
    auto testOwn = [&] {
        const QString run = runFolderIn(out);
        const QString zip = run + u'/' + QFileInfo(tree).fileName() + QStringLiteral(".Zip");
        if (!run.isEmpty() && QFileInfo::exists(zip)) {
            allTested = test7z(zip) && allTested;
            ++testedCount;
            fig.ownSize = QFileInfo(zip).size();
            QFile::remove(archive); // the last one is restored below
            QFile::rename(zip, archive);
        }
    };
    compare(
        label + QStringLiteral(": zip"), QStringLiteral("zip -9 -r -q -P"),
        [&] {
            testOwn();
            fresh();
        },
        [&] { folderBackup(tree, out, true); },
        [&] {
            runTool(QStringLiteral("zip"),
                    {QStringLiteral("-9"), QStringLiteral("-r"), QStringLiteral("-q"), QStringLiteral("-P"),
                     QStringLiteral("parola12"), peer + "/zip9.zip", QStringLiteral(".")},
                    tree);
        });
    fig.zip9Size = QFileInfo(peer + "/zip9.zip").size();
    fig.tested = allTested && testedCount > 0;

    // The program's last copy is kept for the folder restore.
    auto keepCopy = [&] {
        const QString run = runFolderIn(out);
        if (!run.isEmpty()) {
            wipe(copied);
            QFile::rename(run, copied);
        }
        fresh();
    };
    compare(
        label + QStringLiteral(": copy"), QStringLiteral("cp -a"), keepCopy,
        [&] { folderBackup(tree, out, false); },
        [&] {
            runTool(QStringLiteral("cp"), {QStringLiteral("-a"), tree, peer + "/copy"});
        });

    auto clean = [&] {
        wipe(restored);
        ::sync();
    };
    compare(
        label + QStringLiteral(": zip restore"), QStringLiteral("7z x -mmt=2"), clean,
        [&] { restoreZip(archive, restored); },
        [&] { extractWith7z(archive, restored, {QStringLiteral("-mmt=2")}); });
    compare(
        label + QStringLiteral(": folder restore"), QStringLiteral("cp -a"), clean,
        [&] {
            FolderRestoreParams p;
            p.sourceFolder = copied;
            p.targetFolder = restored;
            p.overwrite = true;
            runToEnd(std::make_unique<FolderRestoreRun>(p));
        },
        [&] {
            runTool(QStringLiteral("cp"), {QStringLiteral("-a"), copied, restored});
        });
    wipe(restored);
    fresh();
    g_trees.append(fig);
}

void reportTrees()
{
    static const double goals[] = {2.0, 1.0, 1.5, 1.0};
    for (const TreeFigures &t : std::as_const(g_trees)) {
        std::printf("\n%s: %lld files, %.1f MB\n", qPrintable(t.tree), static_cast<long long>(t.files),
                    t.bytes / 1e6);
        std::printf("%-16s %10s %10s %10s %10s %7s %5s  %s\n", "measure", "korvanex", "cpu", "peer", "cpu",
                    "ratio", "goal", "peer");
        for (int i = 0; i < 4 && t.firstRow + i < g_rows.size(); ++i) {
            const Row &r = g_rows.at(t.firstRow + i);
            const double ratio = r.peerSeconds / r.projectSeconds;
            std::printf("%-16s %9.3fs %9.3fs %9.3fs %9.3fs %7.2f %5.1f  %s%s\n",
                        qPrintable(r.name.section(QStringLiteral(": "), 1)), r.projectSeconds, r.projectCpu,
                        r.peerSeconds, r.peerCpu, ratio, goals[i], qPrintable(r.peer),
                        ratio < goals[i] ? " SHORT" : "");
        }
        std::printf("archive %lld bytes, zip -9 %lld bytes (%+.2f %%)%s; 7z t on every archive: %s\n",
                    static_cast<long long>(t.ownSize), static_cast<long long>(t.zip9Size),
                    100.0 * double(t.ownSize - t.zip9Size) / double(t.zip9Size),
                    t.ownSize <= t.zip9Size ? "" : " LARGER", t.tested ? "ok" : "FAILED");
    }
}

} // namespace

// The four kinds of data, each through zip, copy and both restores (--trees; --quick scales the
// data down to about a tenth).
void benchTrees()
{
    const QString real = g_work + "/trees/real", text = g_work + "/trees/text", logs = g_work + "/trees/logs",
                  random = g_work + "/trees/random";
    makeRealTree(real);
    makeTextTree(text, g_quick ? 2000 : 20000);
    makeLogTree(logs, 2, g_quick ? qint64(8) << 20 : qint64(64) << 20);
    makeRandomTree(random, 3, g_quick ? qint64(8) << 20 : qint64(64) << 20);
    const QStringList only = qEnvironmentVariable("KX_BENCH_TREES").split(u',', Qt::SkipEmptyParts);
    const std::pair<QString, QString> trees[] = {{QStringLiteral("real files"), real},
                                                 {QStringLiteral("small text"), text},
                                                 {QStringLiteral("logs"), logs},
                                                 {QStringLiteral("random"), random}};
    for (const auto &[label, path] : trees)
        if (only.isEmpty() || only.contains(QFileInfo(path).fileName()))
            benchTree(label, path);
    reportTrees();
}
