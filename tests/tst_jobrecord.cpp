// The job record's rules without a window: what a job name may be, what a typed time is.
#include "app/jobrecord.h"
#include "core/daytime.h"

#include <QTest>

using namespace kx;

class TestJobRecord : public QObject
{
    Q_OBJECT

private slots:
    // A job file name holds at most 255 bytes on disk, its extension and every byte of a
    // character in UTF-8 counted.
    void nameLength_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("fits");
        const QString s2(u'\u015F'); // "ş": two bytes
        QTest::newRow("251 bytes and the extension") << QString(251, u'a') << true;
        QTest::newRow("252 bytes and the extension") << QString(252, u'a') << false;
        QTest::newRow("two-byte letters, 251 bytes") << s2.repeated(125) + u'a' << true;
        QTest::newRow("two-byte letters, 252 bytes in 126 characters") << s2.repeated(126) << false;
    }
    void nameLength()
    {
        QFETCH(QString, name);
        QFETCH(bool, fits);
        for (JobKind kind : {JobKind::Folder, JobKind::Firebird}) {
            const QString problem = jobNameProblem(name, kind);
            QCOMPARE(problem.isEmpty(), fits);
            if (!fits)
                QCOMPARE(problem, QStringLiteral("Yedekleme adi cok uzun (%1 bayt); uzantisiyla birlikte en fazla "
                                                 "255 bayt olabilir.")
                                      .arg(name.toUtf8().size() + 4));
        }
    }

    // A time of day as typed in the editor's time box; what cannot be a time is nothing.
    void typedTime_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("time"); // "HH:mm", empty for none
        QTest::newRow("colon") << "22:15" << "22:15";
        QTest::newRow("point") << "22.15" << "22:15";
        QTest::newRow("four digits") << "2200" << "22:00";
        QTest::newRow("three digits") << "915" << "09:15";
        QTest::newRow("hours") << "22" << "22:00";
        QTest::newRow("one digit") << "9" << "09:00";
        QTest::newRow("one digit each") << "9:5" << "09:05";
        QTest::newRow("hours and the colon") << "22:" << "22:00";
        QTest::newRow("blanks of a box with a digit left out") << " 9: 5" << "09:05";
        QTest::newRow("midnight") << "00:00" << "00:00";
        QTest::newRow("last minute") << "23:59" << "23:59";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("blanks") << "  :  " << "";
        QTest::newRow("hour 24") << "24:00" << "";
        QTest::newRow("minute 60") << "12:60" << "";
        QTest::newRow("hours cut short") << "93:0" << "";
        QTest::newRow("five digits") << "12345" << "";
        QTest::newRow("three hour digits") << "123:4" << "";
        QTest::newRow("minutes alone") << ":30" << "";
        QTest::newRow("letters") << "on iki" << "";
        QTest::newRow("sign") << "-1:00" << "";
    }
    void typedTime()
    {
        QFETCH(QString, typed);
        const std::optional<QTime> t = parseTypedTime(typed);
        QTEST(t ? t->toString("HH:mm") : QString(), "time");
    }

    // A typed text that is no time is refused at the save only where the job runs at a time of
    // day; a time typed afterwards clears it.
    void unreadableTimeAtSave_data()
    {
        QTest::addColumn<QString>("unit"); // YEDEK_ZAMANI
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<bool>("refused");
        QTest::newRow("daily") << "2" << QStringList{"25:00"} << true;
        QTest::newRow("weekly") << "3" << QStringList{"9:7x"} << true;
        QTest::newRow("monthly") << "4" << QStringList{""} << true;
        QTest::newRow("hourly: the box is not shown") << "1" << QStringList{"25:00"} << false;
        QTest::newRow("typed again") << "2" << QStringList{"25:00", "21:30"} << false;
    }
    void unreadableTimeAtSave()
    {
        QFETCH(QString, unit);
        QFETCH(QStringList, typed);
        QFETCH(bool, refused);
        JobRecord r(JobKind::Firebird);
        r.startNew();
        for (const auto &[key, value] : {std::pair{"USERPWD", "p"}, {"KAYNAK_DOSYA", "/db/a.fdb"}, {"HEDEF_DIZIN", "/h"}})
            r.set(QLatin1String(key), QLatin1String(value));
        r.set("YEDEK_ZAMANI", unit);
        for (const QString &t : typed)
            r.setTypedTime(t);
        const auto failure = saveCheck(r, "Is", "/yok", [](const QString &key) { return "<" + key + ">"; });
        QCOMPARE(bool(failure), refused);
        if (refused) {
            QCOMPARE(failure->focus, QStringLiteral("GHA_YEDEK_SAATI"));
            QCOMPARE(failure->message, QStringLiteral("<GHA_YEDEK_SAATI> alanindaki \"%1\" bir saat degil. Saati 22:15 ya da "
                                                      "2215 gibi yaziniz.").arg(typed.last()));
        } else if (typed.size() > 1) {
            QCOMPARE(r.time(), QTime(21, 30));
        }
    }
};

QTEST_GUILESS_MAIN(TestJobRecord)
#include "tst_jobrecord.moc"
