// The job lists of one kind: rebuild from the service's job list and the job files, the group
// table and the group box, the group filter, the current job record, type-ahead.
#include "testfiles.h"
#include "core/codepage.h"
#include "core/jobcipher.h"
#include "core/service.h"
#include "platform/kxerror.h"
#include "app/joblistmodel.h"

#include <QAbstractItemModelTester>
#include <QTemporaryDir>
#include <QTest>

using namespace kx;
using namespace kxtest;

class TestJobListModel : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    QStringList m_list; // the service's job list of the kind
    int m_rescans = 0;

    std::unique_ptr<JobListModel> model(JobKind kind = JobKind::Folder,
                                        JobListModel::Owner owner = JobListModel::Owner::ManagementWindow)
    {
        return std::make_unique<JobListModel>(kind, owner, m_dir->path(), [this] { return m_list; },
                                              [this] { ++m_rescans; });
    }
    void job(const QString &name, const QByteArray &text) { put(m_dir->filePath(name), text); }

    static QStringList names(JobListModel &m)
    {
        QStringList out;
        for (int row = 0; row < m.filteredCount(); ++row)
            out.append(m.filteredName(row));
        return out;
    }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        m_list.clear();
        m_rescans = 0;
    }
    void cleanup()
    {
        delete m_dir;
        m_dir = nullptr;
    }

    void groupsAndTheGroupBox()
    {
        job("B.nyd", "AKTIF=True\r\nGRUBU=Muhasebe\r\nKAYNAK_DIZIN=/b\r\nHEDEF_DIZIN=/h\r\nACIKLAMA=bee\r\n");
        job("a.nyd", "AKTIF=False\r\n");
        job("C.nyd", "AKTIF=1\r\nGRUBU=muhasebe\r\n");
        m_list = {"B.nyd", "a.nyd", "C.nyd"};
        auto m = model();
        QAbstractItemModelTester tableTester(&m->table());
        QAbstractItemModelTester filterTester(&m->filtered());
        m->rebuild(false);
        QCOMPARE(m_rescans, 0);
        QCOMPARE(names(*m), QStringList({"a.nyd", "B.nyd", "C.nyd"}));
        QCOMPARE(m->groups().size(), 3);
        QCOMPARE(m->groups().first(), QStringLiteral("<Yok>"));
        QVERIFY(m->groups().contains("Muhasebe") && m->groups().contains("muhasebe"));
        QCOMPARE(m->groupBoxItems().size(), 3);
        QCOMPARE(m->groupBoxItems().mid(0, 2), QStringList({"Hepsi", "<Yok>"}));
        const QString offered = m->groupBoxItems().at(2);
        QVERIFY(offered.compare("muhasebe", Qt::CaseInsensitive) == 0);

        // The row's columns.
        const QModelIndex b = m->filtered().index(1, 0);
        QCOMPARE(m->filtered().index(1, JobTable::Group).data().toString(), QStringLiteral("Muhasebe"));
        QCOMPARE(m->filtered().index(1, JobTable::Source).data().toString(), QStringLiteral("/b"));
        QCOMPARE(m->filtered().index(1, JobTable::Target).data().toString(), QStringLiteral("/h"));
        QCOMPARE(m->filtered().index(1, JobTable::Active).data().toString(), QStringLiteral("Aktif"));
        QCOMPARE(m->filtered().index(0, JobTable::Active).data().toString(), QStringLiteral("Pasif"));
        QCOMPARE(m->filtered().index(2, JobTable::Active).data().toString(), QStringLiteral("Aktif"));
        QCOMPARE(m->filtered().index(1, JobTable::Description).data().toString(), QStringLiteral("bee"));
        QCOMPARE(b.data().toString(), QStringLiteral("B.nyd"));

        // Picking the offered group lists the job spelled exactly like it.
        QVERIFY(m->applyGroupBox("  " + offered + " "));
        QCOMPARE(names(*m), QStringList({offered == "Muhasebe" ? "B.nyd" : "C.nyd"}));
        QVERIFY(!m->showAll());
        QVERIFY(m->applyGroupBox("Hepsi"));
        QCOMPARE(names(*m), QStringList({"a.nyd", "B.nyd", "C.nyd"}));
        QVERIFY(m->applyGroupBox("<Yok>"));
        QCOMPARE(names(*m), QStringList({"a.nyd"}));
        QVERIFY(!m->guard());
    }

    void groupNamedLikeHepsiAndEveryJobGrouped()
    {
        job("x.nyd", "AKTIF=True\r\nGRUBU=Hepsi\r\n");
        job("y.nyd", "AKTIF=True\r\nGRUBU=Kasa\r\n");
        m_list = {"x.nyd", "y.nyd"};
        auto m = model();
        m->rebuild(false);
        // "Hepsi" is there once, as the entry for all jobs.
        QCOMPARE(m->groupBoxItems(), QStringList({"Hepsi", "<Yok>", "Kasa"}));
        QVERIFY(m->applyGroupBox("Kasa"));
        QCOMPARE(names(*m), QStringList({"y.nyd"}));
        QVERIFY(m->applyGroupBox("Hepsi"));
        QCOMPARE(names(*m), QStringList({"x.nyd", "y.nyd"}));
        QVERIFY(m->applyGroupBox("Kasa"));
        // "<Yok>" with every job grouped changes nothing.
        QVERIFY(!m->applyGroupBox("<Yok>"));
        QCOMPARE(names(*m), QStringList({"y.nyd"}));
    }

    void emptyListAndAMissingFile()
    {
        auto m = model();
        m->rebuild(true);
        QCOMPARE(m_rescans, 1);
        QCOMPARE(m->filteredCount(), 0);
        QCOMPARE(m->groupBoxItems(), QStringList({"Hepsi", "<Yok>"}));
        QVERIFY(!m->hasRecord());
        QCOMPARE(m->currentRow(), -1);

        // A listed job whose file has gone shows empty, inactive, never the values of the file
        // read before it.
        job("a.nyd", "AKTIF=True\r\nGRUBU=G\r\nKAYNAK_DIZIN=/a\r\nACIKLAMA=aaa\r\n");
        m_list = {"a.nyd", "b.nyd"};
        m->rebuild(false);
        QCOMPARE(names(*m), QStringList({"a.nyd", "b.nyd"}));
        QCOMPARE(m->filtered().index(1, JobTable::Group).data().toString(), QStringLiteral("<Yok>"));
        QCOMPARE(m->filtered().index(1, JobTable::Source).data().toString(), QString());
        QCOMPARE(m->filtered().index(1, JobTable::Description).data().toString(), QString());
        QCOMPARE(m->filtered().index(1, JobTable::Active).data().toString(), QStringLiteral("Pasif"));
    }

    // An AKTIF that is no boolean stops the rebuild with a message; the list keeps what it
    // showed, the box its first two entries, and the filter works afterwards.
    void failedRebuildLeavesTheModelUsable()
    {
        job("a.nyd", "AKTIF=True\r\nGRUBU=G1\r\n");
        job("b.nyd", "AKTIF=True\r\nGRUBU=G2\r\n");
        m_list = {"a.nyd", "b.nyd"};
        auto m = model();
        m->rebuild(false);
        job("b.nyd", "AKTIF=Evet\r\nGRUBU=G2\r\n");
        try {
            m->rebuild(false);
            QFAIL("no error for AKTIF=Evet");
        } catch (const Error &e) {
            QVERIFY2(e.text().contains("b.nyd") && e.text().contains("Evet"), qPrintable(e.text()));
        }
        QVERIFY(!m->guard());
        QCOMPARE(names(*m), QStringList({"a.nyd", "b.nyd"}));
        QCOMPARE(m->groupBoxItems(), QStringList({"Hepsi", "<Yok>"}));
        m->groupFilter();
        QCOMPARE(m->filteredCount(), 2);
        // A missing AKTIF counts the same way.
        job("b.nyd", "GRUBU=G2\r\n");
        QVERIFY_THROWS_EXCEPTION(Error, m->rebuild(false));
        job("b.nyd", "AKTIF=false\r\nGRUBU=G2\r\n");
        m->rebuild(false);
        QCOMPARE(m->groupBoxItems(), QStringList({"Hepsi", "<Yok>", "G1", "G2"}));
    }

    void currentRecord()
    {
        const QByteArray secret = EncryptJobField(codepage::encode(QStringLiteral("gizli şifre")));
        job("a.nyd", "AKTIF=True\r\nUNETSIFRE=" + secret + "\r\nKAYNAK_DIZIN=/veri\r\n");
        job("b.nyd", "AKTIF=True\r\nPERYOT=iki\r\n");
        m_list = {"a.nyd", "b.nyd"};
        auto m = model();
        m->rebuild(false);
        QVERIFY(m->hasRecord());
        QCOMPARE(m->currentName(), QStringLiteral("a.nyd"));
        QCOMPARE(m->record().value("KAYNAK_DIZIN"), QStringLiteral("/veri"));
        QCOMPARE(m->recordPassword(), QStringLiteral("gizli şifre"));
        // A value that does not suit its field: the load stops, the record keeps what it held.
        QVERIFY_THROWS_EXCEPTION(Error, m->selectName("b.nyd"));
        QCOMPARE(m->record().value("KAYNAK_DIZIN"), QStringLiteral("/veri"));
        QVERIFY(!m->guard());
        // So does a job whose file has gone.
        QVERIFY(QFile::remove(m_dir->filePath("a.nyd")));
        QVERIFY_THROWS_EXCEPTION(Error, m->selectName("a.nyd"));
        QCOMPARE(m->recordPassword(), QStringLiteral("gizli şifre"));
    }

    // An editor's model always filters by the current group and can be asked for a job by
    // name, with or without its extension.
    void editorSelectsByName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("without extension") << "Stok";
        QTest::newRow("with extension") << "Stok.fyd";
    }
    void editorSelectsByName()
    {
        QFETCH(QString, name);
        job("Kasa.fyd", "GRUBU=A\r\n");
        job("Stok.fyd", "GRUBU=B\r\nKAYNAK_DOSYA=/db/stok.fdb\r\n");
        job("Zeta.fyd", "GRUBU=B\r\n");
        m_list = {"Kasa.fyd", "Stok.fyd", "Zeta.fyd"};
        auto m = model(JobKind::Firebird, JobListModel::Owner::Editor);
        m->rebuild(false);
        QCOMPARE(names(*m), QStringList({"Kasa.fyd"})); // the first group
        m->rebuild(true, name);
        QCOMPARE(names(*m), QStringList({"Stok.fyd", "Zeta.fyd"}));
        QCOMPARE(m->currentName(), QStringLiteral("Stok.fyd"));
        QCOMPARE(m->record().value("KAYNAK_DOSYA"), QStringLiteral("/db/stok.fdb"));
    }

    void typeAhead_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("row");
        const QStringList captions = {"ana.nyd", "Muhasebe.nyd", "MUHTASAR.nyd", "şube.nyd", "Şube2.nyd"};
        QTest::newRow("lower case finds mixed case") << "muh" << 1;
        QTest::newRow("upper case") << "MUHT" << 2;
        QTest::newRow("empty selects the first") << "" << 0;
        QTest::newRow("Turkish letter only as it is") << "Şu" << 4;
        QTest::newRow("Turkish small letter") << "şu" << 3;
        QTest::newRow("longer than any caption") << "Muhasebe.nyd.eski" << -1;
        QTest::newRow("no match") << "x" << -1;
    }
    void typeAhead()
    {
        QFETCH(QString, text);
        QFETCH(int, row);
        const QStringList captions = {"ana.nyd", "Muhasebe.nyd", "MUHTASAR.nyd", "şube.nyd", "Şube2.nyd"};
        QCOMPARE(typeAheadRow(captions, text), row);
    }
};

QTEST_GUILESS_MAIN(TestJobListModel)
#include "tst_joblistmodel.moc"
