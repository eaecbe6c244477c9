// The Firebird backup and restore runs against the real server, without windows: what they leave
// on disk and in the logs, every way they fail, a server that stops answering, and the end of the
// program in the middle of a run.
#include "fbtestenv.h"

#include "core/clock.h"
#include "core/jobfile.h"
#include "core/service.h"
#include "platform/fbservice.h"
#include "platform/files.h"
#include "platform/kxerror.h"
#include "platform/termination.h"
#include "runs/firebirdbackuprun.h"
#include "runs/firebirdrestorerun.h"
#include "runs/naming.h"
#include "runs/oplog.h"
#include "runs/runcontroller.h"
#include "scheduling/unfinished.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace kx;
using namespace Qt::StringLiterals;
using Row = std::array<QString, 7>;

namespace {

// How a run ended, read when its end steps were done.
struct Outcome {
    bool closed = false;
    bool failed = false;
    QString failure, backupFile, runFolder2;
    double bytes = -1;
    int outputLines = 0;
    int ticksDuringRun = 0; // timer events of this thread handled while the run worked
};

template <class R>
Outcome runToEnd(std::unique_ptr<R> owned, Outcome out, int waitMs = 60000)
{
    RunController controller;
    R *run = owned.get();
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++out.ticksDuringRun; });
    QObject::connect(run, &Run::finished, run, [&out, run] {
        out.failed = run->display().failed;
        out.failure = run->display().failure;
        out.bytes = run->display().sized ? run->display().bytes : -1;
        if constexpr (std::is_same_v<R, FirebirdBackupRun>) {
            out.outputLines = run->outputLines();
            out.backupFile = run->backupFile();
            out.runFolder2 = run->secondRunFolder();
        }
    });
    QSignalSpy ended(&controller, &RunController::runEnded);
    if (controller.start(std::move(owned)) == 0)
        return out;
    ticker.start(20);
    out.closed = ended.wait(waitMs);
    return out;
}

QList<Row> rows(OperationLog &log)
{
    QList<Row> out;
    for (const QString &line : log.lines())
        out.append(parseLogLine(line));
    return out;
}

// A TCP relay between the client and the server that can stop passing anything on while keeping
// both connections open: a server that stopped answering in the middle of a conversation.
class StallingRelay
{
public:
    explicit StallingRelay(quint16 serverPort) : m_serverPort(serverPort)
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(m_listen, reinterpret_cast<sockaddr *>(&a), len) != 0 || ::listen(m_listen, 4) != 0
            || ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&a), &len) != 0)
            return;
        m_port = ntohs(a.sin_port);
        ::pipe2(m_wake, O_CLOEXEC);
        m_thread = std::thread([this] { loop(); });
    }
    ~StallingRelay()
    {
        m_quit = true;
        [[maybe_unused]] const ssize_t n = ::write(m_wake[1], "x", 1);
        if (m_thread.joinable())
            m_thread.join();
        for (int fd : m_fds)
            ::close(fd);
        ::close(m_listen);
        ::close(m_wake[0]);
        ::close(m_wake[1]);
    }
    quint16 port() const { return m_port; }
    std::atomic<bool> stall{false};
    std::atomic<int> connections{0};

private:
    void loop()
    {
        QList<std::pair<int, int>> pairs; // client, server
        while (!m_quit) {
            QList<pollfd> fds{{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            for (const auto &[c, sv] : pairs) {
                fds.append({c, short(stall ? 0 : POLLIN), 0});
                fds.append({sv, short(stall ? 0 : POLLIN), 0});
            }
            if (::poll(fds.data(), nfds_t(fds.size()), 100) <= 0)
                continue;
            if (fds[0].revents & POLLIN) {
                const int c = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
                const int sv = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                sockaddr_in a{};
                a.sin_family = AF_INET;
                a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                a.sin_port = htons(m_serverPort);
                if (c >= 0 && sv >= 0 && ::connect(sv, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0) {
                    pairs.append({c, sv});
                    m_fds << c << sv;
                    ++connections;
                }
            }
            // Only the pairs that were polled; one accepted just now waits for the next turn.
            for (qsizetype i = 0; 2 + 2 * i + 1 < fds.size(); ++i) {
                const pollfd &pc = fds[2 + 2 * i], &ps = fds[3 + 2 * i];
                if (!stall && (pc.revents & POLLIN))
                    pass(pairs[i].first, pairs[i].second);
                if (!stall && (ps.revents & POLLIN))
                    pass(pairs[i].second, pairs[i].first);
            }
        }
    }
    static void pass(int from, int to)
    {
        char buffer[65536];
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n > 0)
            [[maybe_unused]] const ssize_t w = ::write(to, buffer, size_t(n));
    }

    quint16 m_serverPort;
    quint16 m_port = 0;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    QList<int> m_fds;
    std::atomic<bool> m_quit{false};
    std::thread m_thread;
};

const QStringList kNames = {u"bir"_s, u"iki"_s, u"uc"_s};

// Whether a process of that user and group can create a file in the folder: 0 it can, 1 it
// cannot, 2 the process could not take that user (the test runs as root).
int addsAs(const QString &folder, uid_t uid, gid_t gid)
{
    const QByteArray file = QFile::encodeName(folder + u"/deneme"_s + QString::number(uid));
    const pid_t pid = ::fork();
    if (pid == 0) {
        // System calls only between fork and _exit.
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(2);
        ::_exit(::open(file.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600) >= 0 ? 0 : 1);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return 2;
    return WEXITSTATUS(status);
}

} // namespace

class TestFirebirdRuns : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    QString m_program, m_db, m_target;
    // The service's day and tick, which every run of these tests belongs to.
    ServiceContext m_context;

    QString path(const QString &name) const { return m_dir->filePath(name); }

    FirebirdBackupParams backupParams() const
    {
        FirebirdBackupParams p;
        p.jobName = u"Stok.fyd"_s;
        p.userName = kxtest::fbUser();
        p.password = kxtest::fbPassword();
        p.database = m_db;
        p.targetFolder = m_target;
        return p;
    }

    Outcome backup(FirebirdBackupParams p, int waitMs = 60000)
    {
        p.moment = m_context.moment();
        return runToEnd(std::make_unique<FirebirdBackupRun>(m_program, p), Outcome(), waitMs);
    }

    Outcome restore(FirebirdRestoreParams p)
    {
        p.serviceDate = m_context.moment().serviceDate;
        return runToEnd(std::make_unique<FirebirdRestoreRun>(p), Outcome());
    }

    static QStringList folderEntries(const QString &folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

private slots:
    void initTestCase()
    {
        KX_REQUIRE_FB_ENV();
    }

    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        m_program = path(u"prog/"_s);
        QVERIFY(QDir().mkpath(m_program));
        m_target = path(u"hedef"_s);
        m_db = path(u"stok.fdb"_s);
        m_context = ServiceContext();
        m_context.setServiceDate(QDate(2024, 1, 15));
        m_context.setTick(QDate(2024, 1, 15), QTime(14, 30, 50));
        clock::setNow(QDateTime(QDate(2024, 1, 15), QTime(14, 30, 55)));
        setLogFolder(m_program);
        setFbAttachTimeoutMs(30000);
        setFbAnswerTimeoutMs(60000);
        setFbAfterCallHook({});
        const QString failure = kxtest::createDatabase(m_db, kNames);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }

    void cleanup()
    {
        clock::setNow(QDateTime());
        setFbAfterCallHook({});
        delete m_dir;
    }

    void serverAndPathSplit_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("local");
        QTest::newRow("plain path") << u"/db/STOK.FDB"_s << u"127.0.0.1"_s << u"/db/STOK.FDB"_s << true;
        QTest::newRow("drive letter") << u"C:/DB/STOK.FDB"_s << u"127.0.0.1"_s << u"C:/DB/STOK.FDB"_s << true;
        QTest::newRow("dotted server") << u"192.168.1.5:D:/DB/S.FDB"_s << u"192.168.1.5"_s << u"D:/DB/S.FDB"_s << false;
        QTest::newRow("name without dot") << u"DBSERVER:D:/S.FDB"_s << u"127.0.0.1"_s << u"DBSERVER:D:/S.FDB"_s << true;
        QTest::newRow("one character") << u".:/db/x.fdb"_s << u"127.0.0.1"_s << u".:/db/x.fdb"_s << true;
        QTest::newRow("loopback and port") << u"127.0.0.1/3051:/x.fdb"_s << u"127.0.0.1/3051"_s << u"/x.fdb"_s << true;
        QTest::newRow("host name") << u"db.example.com:/x.fdb"_s << u"db.example.com"_s << u"/x.fdb"_s << false;
    }

    void serverAndPathSplit()
    {
        QFETCH(QString, database);
        const FirebirdLocation where = splitFirebirdDatabase(database);
        QTEST(where.server, "server");
        QTEST(where.database, "path");
        QTEST(where.local, "local");
    }

    void serviceHandsLinesToTheCallingThread()
    {
        QStringList lines;
        bool onThisThread = true;
        runFbService({FbRequest::Action::Backup, kxtest::fbHost(), kxtest::fbUser(), kxtest::fbPassword(), m_db,
                      path(u"direct.fbk"_s)},
                     [&](const QString &line) {
                         lines.append(line);
                         onThisThread = onThisThread && QThread::currentThread() == qApp->thread();
                     });
        QVERIFY(onThisThread);
        QVERIFY2(lines.size() > 5 && lines.first().startsWith("gbak:"_L1), qPrintable(lines.join(u'\n')));
        QVERIFY2(lines.last().contains("finishing"_L1), qPrintable(lines.last()));
        QTRY_COMPARE(fbWorkersRunning(), 0);
    }

    void backupWritesARestorableFileAndOneLogLine()
    {
        const Outcome out = backup(backupParams());
        QVERIFY(out.closed);
        const QString runFolder = m_target + u"/Stok_fyd_20240115_1430/"_s;
        QCOMPARE(out.backupFile, runFolder + u"stok.fbk"_s);
        QVERIFY(out.outputLines > 5);
        QVERIFY(!out.failed);
        QVERIFY(!isUnfinished(runFolder));
        const Row expected = {u"Otomatik FB Yedekleme"_s, u"Stok.fyd"_s, logDateText(QDate(2024, 1, 15)),
                              u"14:30:55"_s, m_db, out.backupFile, u"Basarili"_s};
        QCOMPARE(rows(backupLog()), QList<Row>{expected});

        // The run folder belongs to the server's group, which may add its file to it but not
        // list it or remove what is in it; other users may do nothing there. The parent keeps
        // its mode.
        struct stat st = {};
        QCOMPARE(::stat(QFile::encodeName(runFolder).constData(), &st), 0);
        const group *serverGroup = ::getgrnam("firebird");
        QVERIFY2(serverGroup, "the Firebird package makes the group \"firebird\"");
        QCOMPARE(st.st_gid, serverGroup->gr_gid);
        QCOMPARE(st.st_mode & 07777, mode_t(01730));
        QCOMPARE(::stat(QFile::encodeName(m_target).constData(), &st), 0);
        QCOMPARE(st.st_mode & S_IWOTH, mode_t(0));

        // A real backup: the server rebuilds the rows from it.
        bool ok = false;
        const QString restored = path(u"geri.fdb"_s);
        const QString gbakOut = kxtest::gbak(u"-c"_s, out.backupFile, restored, &ok);
        QVERIFY2(ok, qPrintable(gbakOut));
        QCOMPARE(kxtest::databaseNames(restored, &ok), kNames);
    }

    // Who may add entries to a run folder opened to the local server, by each way of opening it.
    void runFolderOpenedToTheServerOnly_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("ways");
        QTest::addColumn<bool>("link");
        QTest::addColumn<int>("access");
        QTest::addColumn<bool>("serverAdds");
        QTest::addColumn<bool>("othersAdd");
        QTest::newRow("group ownership") << u"firebird"_s << int(AllServerAccessWays) << false
                                         << int(ServerAccess::Group) << true << false;
        QTest::newRow("access list") << u"firebird"_s << int(AccessControlList) << false
                                     << int(ServerAccess::AccessList) << true << false;
        QTest::newRow("neither possible") << u"firebird"_s << 0 << false << int(ServerAccess::Everyone) << true << true;
        QTest::newRow("server unknown") << QString() << int(AllServerAccessWays) << false
                                        << int(ServerAccess::Everyone) << true << true;
        QTest::newRow("server runs as this user") << u"self"_s << int(AllServerAccessWays) << false
                                                  << int(ServerAccess::Own) << false << false;
        QTest::newRow("link at the name") << u"firebird"_s << int(AllServerAccessWays) << true
                                          << int(ServerAccess::Failed) << false << false;
    }
    void runFolderOpenedToTheServerOnly()
    {
        QFETCH(QString, server);
        QFETCH(int, ways);
        QFETCH(bool, link);
        QFETCH(int, access);
        QFETCH(bool, serverAdds);
        QFETCH(bool, othersAdd);
        if (::geteuid() != 0)
            QSKIP("acting as other users needs root");
        const ServerAccount firebird = firebirdServerAccount();
        QVERIFY(firebird.user && firebird.group);
        const passwd *nobody = ::getpwnam("nobody");
        QVERIFY(nobody);
        ServerAccount account;
        if (server == "firebird"_L1)
            account = firebird;
        else if (server == "self"_L1)
            account = {::geteuid(), ::getegid()};

        // Other users reach the folder through its parent, as they would a real target.
        QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                         | QFileDevice::ExeOwner | QFileDevice::ExeGroup
                                                         | QFileDevice::ExeOther));
        const QString folder = path(u"calisma"_s);
        QVERIFY(QDir().mkpath(folder));
        const QString name = link ? path(u"bag"_s) : folder;
        if (link)
            QVERIFY(QFile::link(folder, name));
        QCOMPARE(int(openFolderForServer(name + u'/', account, ways)), access);
        QCOMPARE(addsAs(folder, *firebird.user, *firebird.group), serverAdds ? 0 : 1);
        QCOMPARE(addsAs(folder, nobody->pw_uid, nobody->pw_gid), othersAdd ? 0 : 1);
    }

    void serverPrefixAndSecondCopy()
    {
        FirebirdBackupParams p = backupParams();
        p.database = u"127.0.0.1:"_s + m_db;
        p.targetFolder2 = path(u"ikinci"_s);
        p.manual = true;
        const Outcome out = backup(p);
        QVERIFY(out.closed);
        const QString copy = p.targetFolder2 + u"/Stok_fyd_20240115_1430/stok.fbk"_s;
        QCOMPARE(out.runFolder2 + u"stok.fbk"_s, copy);
        QCOMPARE(QFileInfo(copy).size(), QFileInfo(out.backupFile).size());

        const QList<Row> log = rows(backupLog());
        QCOMPARE(log.size(), 2);
        // The server prefix is not part of the source.
        QCOMPARE((QStringList{log[0][0], log[0][4], log[0][5], log[0][6]}),
                 (QStringList{u"Manuel FB Yedekleme"_s, m_db, out.backupFile, u"Basarili"_s}));
        QCOMPARE((QStringList{log[1][0], log[1][4], log[1][5], log[1][6]}),
                 (QStringList{u"Manuel FB Yedekleme"_s, out.backupFile, copy, u"Basarili"_s}));
    }

    void retentionOnlyAfterSuccess_data()
    {
        QTest::addColumn<bool>("rightPassword");
        QTest::newRow("success prunes") << true;
        QTest::newRow("wrong password keeps") << false;
    }

    void retentionOnlyAfterSuccess()
    {
        QFETCH(bool, rightPassword);
        JobFile job;
        job.setValue(u"HEDEF_DIZIN"_s, m_target);
        job.setValue(u"YEDEK_ZAMANI"_s, u"1"_s);
        job.setValue(u"YEDEKSIL"_s, u"1"_s);
        job.setValue(u"SILGUN"_s, u"1"_s);
        job.save(m_program + u"Stok.fyd"_s);
        const QString old = m_target + u"/Stok_fyd_20240101_1000"_s;
        QVERIFY(QDir().mkpath(old));

        FirebirdBackupParams p = backupParams();
        p.retention = true;
        if (!rightPassword)
            p.password += u"x"_s;
        const Outcome out = backup(p);
        QVERIFY(out.closed);
        const QList<Row> log = rows(backupLog());
        QCOMPARE(log.size(), 1);
        QCOMPARE(QFileInfo::exists(old), !rightPassword);
        if (rightPassword)
            return;
        QVERIFY2(log[0][6].startsWith("Basarisiz.Your user name and password are not defined"_L1), qPrintable(log[0][6]));
        // The window is told too, not only the log.
        QVERIFY(out.failed);
        QVERIFY2(out.failure.startsWith("Your user name"_L1), qPrintable(out.failure));
    }

    void backupFailures_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing database") << QString() << u"yok.fdb"_s << u"No such file or directory"_s;
        QTest::newRow("closed port") << u"127.0.0.1/%1:"_s << u"stok.fdb"_s << u"Unable to complete network request"_s;
    }

    void backupFailures()
    {
        QFETCH(QString, prefix);
        QFETCH(QString, file);
        QFETCH(QString, expected);
        if (!prefix.isEmpty()) {
            QTcpServer probe; // a port that was just free: nothing listens once the probe closes
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            prefix = prefix.arg(probe.serverPort());
        }
        FirebirdBackupParams p = backupParams();
        p.database = prefix + path(file);
        const Outcome out = backup(p);
        QVERIFY(out.closed);
        const QList<Row> log = rows(backupLog());
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0][4], path(file));
        QCOMPARE(log[0][5], out.backupFile);
        // A message of several lines arrives whole: the cause is on a later line than the first.
        QVERIFY2(log[0][6].startsWith("Basarisiz."_L1) && log[0][6].contains(expected), qPrintable(log[0][6]));
        QVERIFY(out.failed);
        // Its run folder is not left behind empty, to be taken for a backup later.
        QVERIFY(!QFileInfo::exists(QFileInfo(out.backupFile).path()));
    }

    void silentServerTimesOutWhileEventsRun()
    {
        // Accepts the connection and never answers: the attach alone would hang for minutes.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        QList<QTcpSocket *> peers;
        connect(&silent, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket *s = silent.nextPendingConnection())
                peers.append(s);
        });
        setFbAttachTimeoutMs(1500);
        const QString server = u"127.0.0.1/%1"_s.arg(silent.serverPort());
        FirebirdBackupParams p = backupParams();
        p.database = server + u':' + m_db;

        const Outcome out = backup(p, 20000);
        QVERIFY(out.closed);
        QVERIFY(!peers.isEmpty()); // the wait really was on the attach
        const QList<Row> log = rows(backupLog());
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0][6], u"Basarisiz.Firebird sunucusu (%1) 2 saniye icinde yanit vermedi."_s.arg(server));
        QVERIFY(out.failure.startsWith("Firebird sunucusu"_L1));
        // This thread's timers went on meanwhile.
        QVERIFY2(out.ticksDuringRun >= 20, qPrintable(QString::number(out.ticksDuringRun)));

        // The worker left behind ends by itself once the peer goes away.
        QVERIFY(fbWorkersRunning() >= 1);
        qDeleteAll(peers);
        QTRY_COMPARE_WITH_TIMEOUT(fbWorkersRunning(), 0, 15000);
    }

    void runFolderProblems()
    {
        // A file where the target folder should be: the run folder cannot be made.
        QFile blocker(m_target);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Outcome out = backup(backupParams());
        QVERIFY(out.closed);
        QCOMPARE(rows(backupLog()).size(), 1);
        const QString status = rows(backupLog())[0][6];
        QVERIFY2(status.startsWith("Basarisiz."_L1) && status.contains("olusturulamadi"_L1), qPrintable(status));
        QVERIFY(out.failed);

        // An existing run folder without overwrite: the server is not asked, nothing is logged.
        QVERIFY(blocker.remove());
        QVERIFY(QDir().mkpath(m_target + u"/Stok_fyd_20240115_1430"_s));
        FirebirdBackupParams p = backupParams();
        p.overwrite = false;
        out = backup(p);
        QVERIFY(out.closed);
        QCOMPARE(rows(backupLog()).size(), 1);
        QVERIFY(!QFileInfo::exists(out.backupFile));
        QVERIFY(!out.failed);

        // The server cannot write its file there (a folder holds the name): its own words are
        // logged, never a success.
        QVERIFY(QDir().mkpath(out.backupFile));
        out = backup(backupParams());
        QVERIFY(out.closed);
        QCOMPARE(rows(backupLog()).size(), 2);
        const QString refused = rows(backupLog())[1][6];
        QVERIFY2(refused.startsWith("Basarisiz."_L1) && refused.contains("cannot open backup file"_L1), qPrintable(refused));
    }

    void restoreIntoNewFolderAndOverExistingDatabase()
    {
        bool ok = false;
        const QString fbk = path(u"kaynak.fbk"_s);
        const QString gbakOut = kxtest::gbak(u"-b"_s, m_db, fbk, &ok);
        QVERIFY2(ok, qPrintable(gbakOut));
        const QString existing = path(u"eski.fdb"_s);
        const QString failure = kxtest::createDatabase(existing, {u"eski"_s});
        QVERIFY2(failure.isEmpty(), qPrintable(failure));

        // The first goes into a folder that does not exist yet, the second replaces a database
        // with other rows.
        FirebirdRestoreParams p{fbk, path(u"yeni/alt/geri.fdb"_s), kxtest::fbUser(), kxtest::fbPassword(), {}};
        for (const QString &target : {p.databaseFile, existing}) {
            p.databaseFile = target;
            const Outcome out = restore(p);
            QVERIFY(out.closed);
            QCOMPARE(out.bytes, double(QFileInfo(fbk).size()));
            QVERIFY(!out.failed);
            QCOMPARE(kxtest::databaseNames(target, &ok), kNames);
            const Row expected = {u"Firebird Geri Yukleme"_s, u"Manuel"_s, logDateText(QDate(2024, 1, 15)),
                                  u"14:30:55"_s, fbk, target, u"Basarili"_s};
            QCOMPARE(rows(restoreLog()).last(), expected);
        }
        QCOMPARE(rows(restoreLog()).size(), 2);
        QVERIFY(rows(backupLog()).isEmpty());
        // Nothing beside the databases: the temporaries went into place.
        QCOMPARE(folderEntries(path(u"yeni/alt"_s)), QStringList{u"geri.fdb"_s});
        QCOMPARE(folderEntries(m_dir->path()).filter(u".kx-"_s), QStringList());
    }

    // A backup file that ends early is no restore: the line says so, nothing of it stays at the
    // target, and a database that was there is left as it was.
    void cutBackupRestoresNothing_data()
    {
        QTest::addColumn<int>("percent"); // of the file kept; -1: all but the last record
        QTest::addColumn<bool>("existing");
        for (const bool existing : {false, true}) {
            const char *over = existing ? ", over a database" : "";
            QTest::addRow("first half of the file%s", over) << 50 << existing;
            QTest::addRow("a fifth of the rows%s", over) << 20 << existing;
            QTest::addRow("four fifths of the rows%s", over) << 80 << existing;
            QTest::addRow("all but the end record%s", over) << -1 << existing;
        }
    }

    void cutBackupRestoresNothing()
    {
        QFETCH(int, percent);
        QFETCH(bool, existing);
        // Rows make up most of the file, which is padded with zeros after its last record.
        QStringList names;
        for (int i = 0; i < 300; ++i)
            names.append(u"satir%1"_s.arg(i));
        const QString db = path(u"satirlar.fdb"_s), fbk = path(u"satirlar.fbk"_s), target = path(u"geri/geri.fdb"_s);
        QString failure = kxtest::createDatabase(db, names);
        bool ok = false;
        const QString gbakOut = failure.isEmpty() ? kxtest::gbak(u"-b"_s, db, fbk, &ok) : failure;
        QVERIFY2(ok, qPrintable(gbakOut));
        const QByteArray bytes = readWholeFile(fbk);
        qsizetype end = bytes.size();
        while (end > 0 && bytes.at(end - 1) == 0)
            --end;
        writeWholeFile(fbk, bytes.left(percent < 0 ? end - 1 : bytes.size() * percent / 100));

        QVERIFY(QDir().mkpath(path(u"geri"_s)));
        failure = existing ? kxtest::createDatabase(target, {u"eski"_s}) : QString();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        const QByteArray old = existing ? readWholeFile(target) : QByteArray();
        const Outcome out = restore({fbk, target, kxtest::fbUser(), kxtest::fbPassword(), {}});
        QVERIFY(out.closed);
        QVERIFY(out.failed);
        const QList<Row> log = rows(restoreLog());
        QCOMPARE(log.size(), 1);
        QVERIFY2(log[0][6].startsWith("Basarisiz.Yedek dosyasi eksik ya da bozuk"_L1), qPrintable(log[0][6]));
        QCOMPARE(folderEntries(path(u"geri"_s)), existing ? QStringList{u"geri.fdb"_s} : QStringList());
        if (existing)
            QVERIFY(readWholeFile(target) == old);
    }

    // A database someone works in is not swapped under them.
    void databaseInUseKeepsItsRows()
    {
        bool ok = false;
        const QString fbk = path(u"kaynak.fbk"_s), target = path(u"geri/eski.fdb"_s);
        const QString gbakOut = kxtest::gbak(u"-b"_s, m_db, fbk, &ok);
        QVERIFY2(ok, qPrintable(gbakOut));
        QVERIFY(QDir().mkpath(path(u"geri"_s)));
        const QString failure = kxtest::createDatabase(target, {u"eski"_s});
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        const QByteArray name = (kxtest::fbHost() + u':' + target).toLocal8Bit(), user = kxtest::fbUser().toLatin1(),
                         password = kxtest::fbPassword().toLatin1();
        const QByteArray dpb = QByteArray(1, char(isc_dpb_version1)) + char(isc_dpb_user_name) + char(user.size()) + user
                               + char(isc_dpb_password) + char(password.size()) + password;
        ISC_STATUS_ARRAY status = {};
        isc_db_handle db = 0;
        isc_attach_database(status, short(name.size()), name.constData(), &db, short(dpb.size()), dpb.constData());
        QVERIFY2(db != 0, qPrintable(fbStatusText(status)));
        const Outcome out = restore({fbk, target, kxtest::fbUser(), kxtest::fbPassword(), {}});
        isc_detach_database(status, &db);
        reclaimTerminationSignals();

        QVERIFY(out.failed);
        QVERIFY2(rows(restoreLog()).last()[6].startsWith("Basarisiz.Veritabani kullanimda"_L1),
                 qPrintable(rows(restoreLog()).last()[6]));
        QCOMPARE(folderEntries(path(u"geri"_s)), QStringList{u"eski.fdb"_s});
        QCOMPARE(kxtest::databaseNames(target, &ok), QStringList{u"eski"_s});
    }

    void restoreFailures_data()
    {
        QTest::addColumn<bool>("backupExists");
        QTest::addColumn<QString>("passwordSuffix");
        QTest::addColumn<QString>("expected");
        QTest::newRow("wrong password") << true << u"x"_s << u"Your user name and password are not defined"_s;
        QTest::newRow("missing backup file") << false << QString() << u"yok.fbk"_s;
    }

    void restoreFailures()
    {
        QFETCH(bool, backupExists);
        QFETCH(QString, passwordSuffix);
        QFETCH(QString, expected);
        const QString fbk = path(u"yok.fbk"_s);
        bool ok = true;
        const QString gbakOut = backupExists ? kxtest::gbak(u"-b"_s, m_db, fbk, &ok) : QString();
        QVERIFY2(ok, qPrintable(gbakOut));
        FirebirdRestoreParams p{fbk, path(u"geri.fdb"_s), kxtest::fbUser(), kxtest::fbPassword() + passwordSuffix, {}};
        const Outcome out = restore(p);
        QVERIFY(out.closed);
        QCOMPARE(out.bytes, backupExists ? double(QFileInfo(fbk).size()) : 0.0);
        const QList<Row> log = rows(restoreLog());
        QCOMPARE(log.size(), 1);
        QCOMPARE((QStringList{log[0][0], log[0][4], log[0][5]}), (QStringList{u"Firebird Geri Yukleme"_s, fbk, p.databaseFile}));
        QVERIFY2(log[0][6].startsWith("Basarisiz."_L1) && log[0][6].contains(expected), qPrintable(log[0][6]));
        QVERIFY(out.failed);
        QVERIFY(!QFileInfo::exists(p.databaseFile));
    }

    void sigtermEndsTheProgram_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("after an attach") << u"attached"_s;
        QTest::newRow("during a run that hangs") << u"waiting"_s;
    }

    void sigtermEndsTheProgram()
    {
        // A fresh process: the client library takes the signals over only at its first use.
        QFETCH(QString, mode);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"KX_TERMINATION_CHILD"_s, mode);
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        QSignalSpy finished(&child, &QProcess::finished);
        QTRY_VERIFY_WITH_TIMEOUT(child.canReadLine() || finished.count() > 0, 30000);
        QCOMPARE(QString::fromLocal8Bit(child.readLine()).trimmed(), mode);

        child.terminate(); // SIGTERM
        if (finished.count() == 0 && !finished.wait(15000)) {
            child.kill();
            child.waitForFinished();
            QFAIL("SIGTERM did not end the program");
        }
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        // The run cut short wrote no success: its folder stays marked unfinished, to be told
        // at the next start.
        if (mode == "waiting"_L1)
            QCOMPARE(QString::fromLocal8Bit(child.readAll()).trimmed(), u"no log, unfinished"_s);
    }

    // A server that stops answering after the attach: the run gives up after the answer
    // time-out with a failure line, its flag clears, and the next run goes on.
    void serverStallingAfterTheAttach_data()
    {
        QTest::addColumn<QString>("after");
        QTest::newRow("after the attach") << u"attach"_s;
        QTest::newRow("after the first line") << u"line"_s;
    }
    void serverStallingAfterTheAttach()
    {
        QFETCH(QString, after);
        StallingRelay relay(3050);
        QVERIFY(relay.port() != 0);
        setFbAnswerTimeoutMs(1500);
        std::atomic<bool> once{false};
        setFbAfterCallHook([&](const char *step) {
            if (QLatin1String(step) == after && !once.exchange(true))
                relay.stall = true;
        });
        FirebirdBackupParams p = backupParams();
        p.database = u"127.0.0.1/%1:"_s.arg(relay.port()) + m_db;
        const Outcome out = backup(p, 20000);
        QVERIFY(out.closed);
        QVERIFY(relay.stall);
        const QList<Row> log = rows(backupLog());
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0][6], u"Basarisiz.Firebird sunucusu (127.0.0.1/%1) 2 saniye icinde yanit vermedi."_s.arg(relay.port()));
        QVERIFY(out.failed);
        // A run that failed is no unfinished one: nothing is told again at the next start.
        QVERIFY(!isUnfinished(m_target + u"/Stok_fyd_20240115_1430"_s));

        // The program goes on: the next backup, straight to the server, works.
        setFbAfterCallHook({});
        const Outcome next = backup(backupParams());
        QVERIFY(next.closed);
        QVERIFY(!next.failed);
    }
};

// The program side of sigtermEndsTheProgram: prints its mode once the client library is in
// use, then runs the event loop until a signal ends it.
static int terminationChild(int argc, char **argv, const QByteArray &mode)
{
    QCoreApplication app(argc, argv);
    installTerminationHandler();
    QTemporaryDir dir;
    QTcpServer silent;
    if (mode == "attached") {
        QTimer::singleShot(0, [] {
            try {
                FbService s;
                s.attach(kxtest::fbHost(), kxtest::fbUser(), kxtest::fbPassword());
            } catch (const Error &e) {
                fputs(qPrintable(e.text() + u'\n'), stdout);
            }
            // The library has put its own handlers in by now; ours must be back.
            fputs(terminationHandlerActive() ? "attached\n" : "replaced\n", stdout);
            fflush(stdout);
        });
        return app.exec();
    }
    // A backup in the middle of its run, the conversation hanging on a server that never
    // answers.
    if (!dir.isValid() || !silent.listen(QHostAddress::LocalHost))
        return 2;
    QObject::connect(&silent, &QTcpServer::newConnection, [] {
        fputs("waiting\n", stdout);
        fflush(stdout);
    });
    setLogFolder(dir.path());
    const QString target = dir.filePath(u"hedef"_s);
    {
        RunController controller;
        FirebirdBackupParams p;
        p.jobName = u"Stok.fyd"_s;
        p.database = u"127.0.0.1/%1:/x.fdb"_s.arg(silent.serverPort());
        p.targetFolder = target;
        controller.start(std::make_unique<FirebirdBackupRun>(dir.path(), p));
        app.exec();
    }
    const QStringList lines = backupLog().lines();
    const QList<UnfinishedRun> left = unfinishedRuns(u"Stok.fyd"_s, QStringList{target}, true);
    fputs(qPrintable((lines.isEmpty() ? u"no log"_s : parseLogLine(lines.last())[6])
                     + (left.size() == 1 ? u", unfinished\n"_s : u", finished\n"_s)),
          stdout);
    return 0;
}

int main(int argc, char *argv[])
{
    const QByteArray child = qgetenv("KX_TERMINATION_CHILD");
    if (!child.isEmpty())
        return terminationChild(argc, argv, child);
    QCoreApplication app(argc, argv);
    TestFirebirdRuns test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_firebirdruns.moc"
