#include "core/jobcipher.h"

#include <QRandomGenerator>
#include <QTest>

using kx::DecryptJobField;
using kx::EncryptJobField;

class TestJobCipher : public QObject
{
    Q_OBJECT

private slots:
    void blowfishVectors_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("cipher");
        QTest::newRow("zeros") << QByteArray("0000000000000000") << QByteArray("0000000000000000")
                               << QByteArray("4EF997456198DD78");
        QTest::newRow("ones") << QByteArray("FFFFFFFFFFFFFFFF") << QByteArray("FFFFFFFFFFFFFFFF")
                              << QByteArray("51866FD5B85ECB8A");
        QTest::newRow("low bit") << QByteArray("3000000000000000") << QByteArray("1000000000000001")
                                 << QByteArray("7D856F9A613063F2");
        QTest::newRow("mixed") << QByteArray("FEDCBA9876543210") << QByteArray("0123456789ABCDEF")
                               << QByteArray("0ACEAB0FC6A0A28D");
        // Eleven key bytes: the key wraps in the middle of a word.
        QTest::newRow("odd key length") << QByteArray("F0E1D2C3B4A5968778695A")
                                        << QByteArray("FEDCBA9876543210") << QByteArray("3A833C9AFFC537F6");
    }

    void blowfishVectors()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, cipher);
        const kx::Blowfish bf(QByteArray::fromHex(key));
        QByteArray block = QByteArray::fromHex(plain);
        bf.encryptBlock(reinterpret_cast<unsigned char *>(block.data()));
        QCOMPARE(block.toHex().toUpper(), cipher);
        bf.decryptBlock(reinterpret_cast<unsigned char *>(block.data()));
        QCOMPARE(block.toHex().toUpper(), plain);
    }

    void knownAnswers_data()
    {
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("one byte") << QByteArray("a") << QByteArray("uoDgOH+ZNwA=");
        QTest::newRow("whole block") << QByteArray("parola12") << QByteArray("3mqqRpwW0og0vu//wBB2lg==");
    }

    void knownAnswers()
    {
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, stored);
        QCOMPARE(EncryptJobField(plain), stored);
        QCOMPARE(DecryptJobField(stored), plain);
    }

    void storedForm()
    {
        QVERIFY(EncryptJobField({}).isEmpty());
        QVERIFY(DecryptJobField({}).isEmpty());

        const QByteArray seven = EncryptJobField("1234567");
        QCOMPARE(seven.size(), 12);
        QVERIFY(seven.endsWith('='));
        QCOMPARE(EncryptJobField("12345678").size(), 24);
        QCOMPARE(EncryptJobField(QByteArray(50, 'x')).size(), 76);

        // ECB without IV: equal inputs and equal leading blocks show through.
        QCOMPARE(EncryptJobField("secret"), EncryptJobField("secret"));
        const QByteArray one = EncryptJobField("abcdefgh-one"), two = EncryptJobField("abcdefgh-two");
        QCOMPARE(one.left(10), two.left(10));
        QVERIFY(one != two);

        QVERIFY(DecryptJobField(EncryptJobField("abcdefgh").left(13)).isEmpty());
    }

    void decoderRules_data()
    {
        // Fewer than eight decoded bytes are not deciphered, so the decoder shows through directly.
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("plain group") << QByteArray("YWJj") << QByteArray("abc");
        QTest::newRow("one pad") << QByteArray("YWI=") << QByteArray("ab");
        QTest::newRow("two pads") << QByteArray("YQ==") << QByteArray("a");
        QTest::newRow("= third ends group") << QByteArray("YQ=j") << QByteArray("a");
        QTest::newRow("= in earlier group") << QByteArray("YW=jYWJj") << QByteArray("a");
        QTest::newRow("stop at group start") << QByteArray("YWJj*WJj") << QByteArray("abc");
        QTest::newRow("stop after one char") << QByteArray("YWJjY*Jj") << QByteArray("abc");
        QTest::newRow("stop after two chars") << QByteArray("YWJjYW\x80j") << QByteArray("abca");
        QTest::newRow("stop at NUL") << QByteArray("YWJjYWJ\0", 8) << QByteArray("abcab");
        QTest::newRow("only pads") << QByteArray("====") << QByteArray();
        QTest::newRow("length 3") << QByteArray("YWJ") << QByteArray();
        QTest::newRow("length 13") << QByteArray("YWJjYWJjYWJjY") << QByteArray();
    }

    void decoderRules()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, expected);
        QCOMPARE(DecryptJobField(stored), expected);
    }

    void unpadRules_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("good") << QByteArray("abc\3\3\3") << QByteArray("abc");
        QTest::newRow("all padding") << QByteArray("\2\2") << QByteArray();
        QTest::newRow("mismatch") << QByteArray("ab\1\2") << QByteArray("ab\1\2");
        QTest::newRow("too long for data") << QByteArray("\3\3") << QByteArray("\3\3");
        QTest::newRow("zero") << QByteArray("ab\0", 3) << QByteArray("ab\0", 3);
        QTest::newRow("above eight") << QByteArray("ab\x09") << QByteArray("ab\x09");
    }

    void unpadRules()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, expected);
        QCOMPARE(DecryptJobField(raw.toBase64()), expected);
    }

    void shortTailPassesThrough()
    {
        // One enciphered block followed by a loose tail: the block is deciphered, the tail kept.
        const QByteArray firstBlock = QByteArray::fromBase64(EncryptJobField("parola12")).left(8);
        QCOMPARE(DecryptJobField((firstBlock + "wxyz").toBase64()), QByteArray("parola12wxyz"));
        QCOMPARE(DecryptJobField((firstBlock + "w\1").toBase64()), QByteArray("parola12w"));
    }

    void roundTrip()
    {
        QRandomGenerator rng(20240611);
        for (int i = 0; i < 3000; ++i) {
            QByteArray plain(rng.bounded(1, 51), Qt::Uninitialized);
            for (char &c : plain)
                c = static_cast<char>(rng.bounded(256));
            const QByteArray stored = EncryptJobField(plain);
            const qsizetype padded = (plain.size() / 8 + 1) * 8;
            QCOMPARE(stored.size(), (padded + 2) / 3 * 4);
            QCOMPARE(DecryptJobField(stored), plain);
        }
    }

    void decryptSurvivesGarbage()
    {
        static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        QRandomGenerator rng(77);
        for (int i = 0; i < 4000; ++i) {
            QByteArray text;
            switch (i % 3) {
            case 0: // any bytes, NUL and high bytes included
                text.resize(rng.bounded(0, 40));
                for (char &c : text)
                    c = static_cast<char>(rng.bounded(256));
                break;
            case 1: // valid-looking text, sometimes spiked with '=' or a stray byte
            case 2:
                text.resize(4 * rng.bounded(0, 20));
                for (char &c : text)
                    c = alphabet[rng.bounded(64)];
                if (!text.isEmpty() && i % 3 == 2)
                    text[rng.bounded(int(text.size()))] = rng.bounded(2) ? '=' : char(rng.bounded(128, 256));
                break;
            }
            const QByteArray out = DecryptJobField(text);
            const qsizetype decodedBound = text.size() % 4 == 0 ? text.size() / 4 * 3 : 0;
            QVERIFY2(out.size() <= decodedBound, text.toBase64().constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestJobCipher)
#include "tst_jobcipher.moc"
