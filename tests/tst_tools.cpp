// The tools menu's record files and the version check without their windows: record bytes,
// reading whole and partial files, the letter folding, the service's reply, the version order,
// "guncellemeayar.ini" and the request itself against a loopback server.
#include "testfiles.h"
#include "testhttp.h"
#include "tools/toolrecords.h"
#include "tools/versioncheck.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace kx;
using namespace kxtest;

Q_DECLARE_METATYPE(kx::TAraclarItem)

namespace {

// A record built by hand, field by field, to hold the codec against.
QByteArray handRecord(const QByteArray &caption, const QByteArray &hint, qint32 image, const QByteArray &shortCut,
                      const QByteArray &fileName)
{
    QByteArray r(380, '\0');
    const auto field = [&r](int offset, const QByteArray &text) {
        r[offset] = char(text.size());
        r.replace(offset + 1, text.size(), text);
    };
    field(0, caption);
    field(101, hint);
    qToLittleEndian<qint32>(image, r.data() + 204);
    field(208, shortCut);
    field(229, fileName);
    return r;
}

} // namespace

class TestTools : public QObject
{
    Q_OBJECT

private slots:
    void recordBytes_data()
    {
        QTest::addColumn<TAraclarItem>("item");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("plain") << TAraclarItem{"Hesap", "ipucu", 5, "Ctrl+F2", "/opt/hesap"}
                               << handRecord("Hesap", "ipucu", 5, "Ctrl+F2", "/opt/hesap");
        QTest::newRow("no image, empty texts") << TAraclarItem{"", "", -1, "", ""} << handRecord("", "", -1, "", "");
        // Turkish letters are single bytes of the code page.
        QTest::newRow("turkish") << TAraclarItem{u"Çizelge ığş"_qs, "", 0, "F3", u"/ev/Şirket"_qs}
                                 << handRecord("\xC7izelge \xFD\xF0\xFE", "", 0, "F3", "/ev/\xDEirket");
        // Longer texts are cut to their field.
        QTest::newRow("cut") << TAraclarItem{QString(120, u'a'), QString(101, u'h'), 7, QString(25, u'k'), QString(150, u'y')}
                             << handRecord(QByteArray(100, 'a'), QByteArray(100, 'h'), 7, QByteArray(20, 'k'),
                                           QByteArray(150, 'y'));
    }
    void recordBytes()
    {
        QFETCH(TAraclarItem, item);
        QFETCH(QByteArray, expected);
        const QByteArray record = encodeToolRecord(item);
        QCOMPARE(record.size(), 380);
        QCOMPARE(record.toHex(), expected.toHex());
        // Read back: what fitted comes back as it was.
        const TAraclarItem back = decodeToolRecord(record.constData());
        QCOMPARE(back.Caption, item.Caption.left(100));
        QCOMPARE(back.Hint, item.Hint.left(100));
        QCOMPARE(back.ImageIndex, item.ImageIndex);
        QCOMPARE(back.ShortCut, item.ShortCut.left(20));
        QCOMPARE(back.FileName, item.FileName.left(150));
    }

    // A length byte beyond its field (a damaged file) reads the field, never the next one.
    void oversizedLengthByte()
    {
        QByteArray r = handRecord("ad", "ipucu", 1, "F2", "/bin/yol");
        r[0] = char(250);
        r[208] = char(200);
        const TAraclarItem item = decodeToolRecord(r.constData());
        QCOMPARE(item.Caption.size(), 100);
        QVERIFY(item.Caption.startsWith("ad"));
        QCOMPARE(item.ShortCut.size(), 20);
        QCOMPARE(item.FileName, QStringLiteral("/bin/yol"));
    }

    void recordCount_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("count");
        QTest::newRow("empty") << 0 << 0;
        QTest::newRow("partial only") << 379 << 0;
        QTest::newRow("one") << 380 << 1;
        QTest::newRow("two") << 760 << 2;
        QTest::newRow("two and a tail") << 900 << 2;
    }
    void recordCount()
    {
        QFETCH(int, size);
        QFETCH(int, count);
        QTemporaryDir dir;
        QByteArray data;
        for (int i = 0; data.size() < size; ++i)
            data += handRecord("arac" + QByteArray::number(i), "", i, "", "/yol/" + QByteArray::number(i));
        data.truncate(size);
        put(dir.filePath("AraclarTanim.Ini"), data);
        const ToolFile file = readToolFile(dir.filePath("AraclarTanim.Ini"));
        QVERIFY(!file.failed);
        QCOMPARE(file.items.size(), count);
        for (int i = 0; i < count; ++i) {
            QCOMPARE(file.items[i].Caption, QStringLiteral("arac%1").arg(i));
            QCOMPARE(file.items[i].ImageIndex, i);
        }
    }

    // A missing file is no tools; one that cannot be read is a failure, and is left alone.
    void unreadableFile()
    {
        QTemporaryDir dir;
        ToolFile missing = readToolFile(dir.filePath("yok.Ini"));
        QVERIFY(!missing.failed);
        QVERIFY(missing.items.isEmpty());
        const QString folder = dir.filePath("AraclarTanim.Ini");
        QVERIFY(QDir().mkpath(folder));
        const ToolFile broken = readToolFile(folder);
        QVERIFY(broken.failed);
        QVERIFY(broken.items.isEmpty());
        QVERIFY(QFileInfo(folder).isDir());
    }

    void folding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("folded");
        QTest::newRow("all twelve") << u"ÇĞÖÜİŞçğöüış"_qs << QStringLiteral("CGOUIScgouis");
        QTest::newRow("caption") << u"Araçlar Menüsünü Düzenle"_qs << QStringLiteral("Araclar Menusunu Duzenle");
        QTest::newRow("others stay") << u"âêî ÂÎ İstek"_qs << u"âêî ÂÎ Istek"_qs;
        QTest::newRow("plain") << QStringLiteral("Tamam") << QStringLiteral("Tamam");
    }
    void folding()
    {
        QFETCH(QString, text);
        QFETCH(QString, folded);
        QCOMPARE(foldTurkish(text), folded);
    }

    void reply_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("surum");
        QTest::addColumn<QString>("link");
        QTest::newRow("br between") << "SURUM=2.03.01<br>DOWNLOADLINK=http://x.example/indir?a=1" << "2.03.01"
                                    << "http://x.example/indir?a=1";
        QTest::newRow("lines") << "DOWNLOADLINK=https://y.example/\r\nSURUM=2.02.01\r\n" << "2.02.01"
                               << "https://y.example/";
        QTest::newRow("lower-case keys") << "surum=2.04.00<br>downloadlink=http://z.example/" << "2.04.00"
                                         << "http://z.example/";
        QTest::newRow("first wins") << "SURUM=2.05.00<br>SURUM=9.99.99" << "2.05.00" << "";
        QTest::newRow("no keys") << "<html>bakimda</html>" << "" << "";
        QTest::newRow("blank before key is another key") << " SURUM=3.00.00\nSURUMX=1" << "" << "";
        QTest::newRow("bare LF and CR") << "A=1\nSURUM=2.06.00\rDOWNLOADLINK=http://w.example/" << "2.06.00"
                                        << "http://w.example/";
    }
    void reply()
    {
        QFETCH(QString, body);
        QFETCH(QString, surum);
        QFETCH(QString, link);
        const VersionReply r = parseVersionReply(body);
        QCOMPARE(r.surum, surum);
        QCOMPARE(r.downloadLink, link);
    }

    void versionOrder_data()
    {
        QTest::addColumn<QString>("offered");
        QTest::addColumn<QString>("current");
        QTest::addColumn<bool>("newer");
        QTest::newRow("later") << "2.02.02" << "2.02.01" << true;
        QTest::newRow("equal") << "2.02.01" << "2.02.01" << false;
        QTest::newRow("earlier") << "2.01.09" << "2.02.01" << false;
        QTest::newRow("byte order, not numbers") << "2.10.01" << "2.9.01" << false;
        QTest::newRow("longer with same start") << "2.02.01a" << "2.02.01" << true;
        QTest::newRow("empty") << "" << "2.02.01" << false;
        // Bytes above 127 are later than every ASCII byte.
        QTest::newRow("high byte") << u"2.02.0ş"_qs << "2.02.09" << true;
    }
    void versionOrder()
    {
        QFETCH(QString, offered);
        QFETCH(QString, current);
        QFETCH(bool, newer);
        QCOMPARE(isNewerVersion(offered, current), newer);
    }

    void newsPage()
    {
        QCOMPARE(newsPageAddress("2.02.01"),
                 QLatin1String(kMakerWebHost) + QStringLiteral("/programlar/guncelhaber.php?id=&surum=02.01"));
        QVERIFY(defaultWebServicePage().endsWith("/musteri/zefarininterface/versiyonkontrol.php"));
        QCOMPARE(VersionRequest::requestUrl("http://127.0.0.1:8/v.php", "PXRT").toString(),
                 QStringLiteral("http://127.0.0.1:8/v.php?prg=PXRT"));
    }

    void updateSettingsRead_data()
    {
        QTest::addColumn<QByteArray>("file"); // "-" for no file
        QTest::addColumn<bool>("found");
        QTest::addColumn<bool>("oto");
        QTest::addColumn<int>("aralik");
        QTest::newRow("no file") << QByteArray("-") << false << false << 7;
        QTest::newRow("written form") << QByteArray("OTOKONTROL=True\r\nARALIK=12\r\n") << true << true << 12;
        QTest::newRow("only exactly True") << QByteArray("OTOKONTROL=true\r\nARALIK=30\r\n") << true << false << 30;
        QTest::newRow("keys in any case") << QByteArray("otokontrol=True\naralik=9") << true << true << 9;
        QTest::newRow("unreadable number") << QByteArray("ARALIK=on\r\n") << true << false << 7;
        QTest::newRow("below the range") << QByteArray("ARALIK=3\r\n") << true << false << 7;
        QTest::newRow("above the range") << QByteArray("ARALIK=45\r\n") << true << false << 30;
        QTest::newRow("empty file") << QByteArray() << true << false << 7;
    }
    void updateSettingsRead()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, found);
        QFETCH(bool, oto);
        QFETCH(int, aralik);
        QTemporaryDir dir;
        const QString path = updateSettingsPath(dir.path());
        QCOMPARE(path, dir.path() + "/guncellemeayar.ini");
        if (file != "-")
            put(path, file);
        bool wasFound = !found;
        const UpdateSettings s = readUpdateSettings(path, &wasFound);
        QCOMPARE(wasFound, found);
        QCOMPARE(s.otoKontrol, oto);
        QCOMPARE(s.aralik, aralik);
    }

    void updateSettingsWrite()
    {
        QTemporaryDir dir;
        const QString path = updateSettingsPath(dir.path());
        // Whatever stood there before, exactly two lines afterwards.
        put(path, "EK=1\r\nOTOKONTROL=True\r\nARALIK=20\r\n");
        writeUpdateSettings(path, {false, 7});
        QCOMPARE(contents(path), QByteArray("OTOKONTROL=False\r\nARALIK=7\r\n"));
        writeUpdateSettings(path, {true, 30});
        QCOMPARE(contents(path), QByteArray("OTOKONTROL=True\r\nARALIK=30\r\n"));
    }

    // The request as the service sees it, redirects followed, failures and the time-out.
    void request()
    {
        HttpServer server;
        server.setAnswer("/eski.php", HttpServer::reply(302, {}, "Location: /yeni.php?prg=PXRT\r\n"));
        server.setAnswer("/yeni.php", HttpServer::reply(200, "SURUM=2.03.01<br>DOWNLOADLINK=http://a.example/"));
        server.setAnswer("/hata.php", HttpServer::reply(500, "SURUM=9.99.99"));
        server.setAnswer("/bekle.php", HttpServer::hanging());

        VersionRequest request;
        QSignalSpy finished(&request, &VersionRequest::finished);
        request.start(VersionRequest::requestUrl(server.base() + "/eski.php", "PXRT"));
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toBool(), true);
        QCOMPARE(finished[0][1].toString(), QStringLiteral("SURUM=2.03.01<br>DOWNLOADLINK=http://a.example/"));
        QCOMPARE(server.requests().size(), 2);
        const QByteArray first = server.requests().first();
        QVERIFY2(first.startsWith("GET /eski.php?prg=PXRT HTTP/1.1\r\n"), first.constData());
        QVERIFY(first.contains("\r\nAccept: text/html, */*"));
        QVERIFY(first.contains("\r\nUser-Agent: Mozilla/3.0 (compatible; Indy Library)"));

        // An error status is a failure, whatever the body says.
        finished.clear();
        request.start(VersionRequest::requestUrl(server.base() + "/hata.php", "PXRT"));
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished[0][0].toBool(), false);

        // A server that takes the request and never answers is given up after the time-out.
        const int before = VersionRequest::timeoutMs();
        VersionRequest::setTimeoutMs(300);
        finished.clear();
        request.start(VersionRequest::requestUrl(server.base() + "/bekle.php", "PXRT"));
        QVERIFY(finished.wait(10000));
        VersionRequest::setTimeoutMs(before);
        QCOMPARE(finished[0][0].toBool(), false);
        QCOMPARE(finished[0][2].toString(), QStringLiteral("timeout"));
    }
};

QTEST_GUILESS_MAIN(TestTools)
#include "tst_tools.moc"
