#pragma once
// Where the Firebird tests find their server. CI starts it with scripts/firebird-start and
// exports the SYSDBA password that script prints; the host defaults to this machine.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTest>

namespace kxtest {

inline QString fbHost()
{
    return qEnvironmentVariable("KX_FB_HOST", QStringLiteral("127.0.0.1"));
}

inline QString fbUser()
{
    return QStringLiteral("SYSDBA");
}

inline QString fbPassword()
{
    return qEnvironmentVariable("KX_FB_PASSWORD");
}

// Runs one of the Firebird command-line tools with the credentials in its environment (kept
// off the process list). Returns what it printed, stdout and stderr together; *ok tells
// whether it ended with status 0.
inline QString fbTool(const QString &program, const QStringList &arguments, const QByteArray &input, bool *ok)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ISC_USER"), fbUser());
    env.insert(QStringLiteral("ISC_PASSWORD"), fbPassword());
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    const bool started = p.waitForStarted(30000);
    if (started) {
        p.write(input);
        p.closeWriteChannel();
    }
    const bool finished = started && p.waitForFinished(120000);
    *ok = finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return QString::fromLocal8Bit(p.readAll());
}

// A database on the test server at path (a local file of this machine) with one table
// T (ID, NAME) holding names in order. Returns the tool's output when it fails.
inline QString createDatabase(const QString &path, const QStringList &names)
{
    QString script = QStringLiteral("create database '%1:%2' page_size 4096;\n"
                                    "create table t (id integer, name varchar(40));\n")
                         .arg(fbHost(), path);
    for (qsizetype i = 0; i < names.size(); ++i)
        script += QStringLiteral("insert into t values (%1, '%2');\n").arg(i + 1).arg(names.at(i));
    script += QStringLiteral("commit;\n");
    bool ok = false;
    const QString out = fbTool(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-bail")}, script.toUtf8(), &ok);
    return ok ? QString() : QStringLiteral("isql-fb failed: ") + out;
}

// The names of table T, in ID order, read through the test server; *ok is false on error.
inline QStringList databaseNames(const QString &path, bool *ok)
{
    const QString script = QStringLiteral("connect '%1:%2';\nset list on;\nselect name from t order by id;\n").arg(fbHost(), path);
    const QString out = fbTool(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-bail")}, script.toUtf8(), ok);
    QStringList names;
    for (const QString &line : out.split(QLatin1Char('\n'))) {
        const QString t = line.trimmed();
        if (t.startsWith(QLatin1String("NAME ")))
            names.append(t.mid(5).trimmed());
    }
    return names;
}

// gbak through the test server: "-b" database backupFile or "-c" backupFile database.
inline QString gbak(const QString &mode, const QString &from, const QString &to, bool *ok)
{
    const bool backup = mode == QLatin1String("-b");
    const QString server = fbHost() + QLatin1Char(':');
    return fbTool(QStringLiteral("gbak"), {mode, backup ? server + from : from, backup ? to : server + to}, QByteArray(), ok);
}

} // namespace kxtest

// For initTestCase(): a missing password must fail the run, never quietly skip the server tests.
#define KX_REQUIRE_FB_ENV()                                                                                  \
    QVERIFY2(                                                                                                \
        !kxtest::fbPassword().isEmpty(),                                                                     \
        "KX_FB_PASSWORD is not set; start the server with scripts/firebird-start and export its output")
