#include "ui/aboutbox.h"
#include "ui/formheader.h"
#include "runs/naming.h"
#include "ui/anaform.h"

#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace kx {

namespace {

// A panel whose lines scroll up slowly, round and round. The lines are in the property
// "kxScrollLines", where the window translation finds them.
class ScrollPanel : public QWidget
{
public:
    ScrollPanel(const QStringList &lines, QWidget *parent) : QWidget(parent)
    {
        setProperty("kxScrollLines", lines);
        setMinimumHeight(70);
        auto *timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this] {
            ++m_offset;
            update();
        });
        timer->start(60);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const QStringList lines = property("kxScrollLines").toStringList();
        const int lineHeight = fontMetrics().height();
        const int total = int(lines.size()) * lineHeight + height();
        const int shift = total > 0 ? m_offset % total : 0;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const int y = height() - shift + int(i) * lineHeight;
            p.drawText(QRect(0, y, width(), lineHeight), Qt::AlignHCenter, lines.at(i));
        }
    }

private:
    int m_offset = 0;
};

qint64 meminfoValue(const QByteArray &meminfo, const QByteArray &key)
{
    for (const QByteArray &line : meminfo.split('\n')) {
        if (!line.startsWith(key + ':'))
            continue;
        const QList<QByteArray> parts = line.mid(key.size() + 1).simplified().split(' ');
        bool ok = false;
        const qint64 kb = parts.value(0).toLongLong(&ok);
        return ok ? kb * 1024 : 0;
    }
    return 0;
}

QString megabytes(qint64 bytes)
{
    return capacityText(double(bytes));
}

} // namespace

MemoryFigures memoryFromMeminfo(const QByteArray &meminfo)
{
    MemoryFigures m;
    m.total = meminfoValue(meminfo, "MemTotal");
    const qint64 available = meminfoValue(meminfo, "MemAvailable");
    m.used = m.total > 0 && available > 0 && available <= m.total ? m.total - available : 0;
    return m;
}

THakkindaF::THakkindaF(const QString &title, const WindowTranslator &windowTr, const MessageTranslator &messageTr,
                       QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("HakkindaF"));
    setWindowTitle(title);
    const auto msg = [&](const QString &t) { return messageTr ? messageTr(t) : t; };
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new KxFormHeader(QLatin1String(kApplicationTitle), this));
    LabelProgram = new QLabel(QLatin1String(kApplicationTitle), this);
    LabelProgram->setObjectName(QStringLiteral("LabelProgram"));
    LabelSurum = new QLabel(QStringLiteral("Surum"), this);
    LabelSurum->setObjectName(QStringLiteral("LabelSurum"));
    PanelIrtibat = new ScrollPanel(makerContactLines(), this);
    PanelIrtibat->setObjectName(QStringLiteral("PanelIrtibat"));
    PanelEmek = new ScrollPanel({QStringLiteral("Emegi Gecenler"), QStringLiteral("KORVANEX Yazilim Ekibi")}, this);
    PanelEmek->setObjectName(QStringLiteral("PanelEmek"));
    auto *physicalCaption = new QLabel(QStringLiteral("Fiziksel Bellek :"), this);
    LabelFizikselBellek = new QLabel(this);
    LabelFizikselBellek->setObjectName(QStringLiteral("LabelFizikselBellek"));
    auto *usedCaption = new QLabel(QStringLiteral("Kullanilan Bellek :"), this);
    LabelKullanilanBellek = new QLabel(this);
    LabelKullanilanBellek->setObjectName(QStringLiteral("LabelKullanilanBellek"));
    auto *ok = new QPushButton(QStringLiteral("Tamam"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    layout->addWidget(LabelProgram);
    layout->addWidget(LabelSurum);
    layout->addWidget(PanelIrtibat);
    layout->addWidget(PanelEmek);
    layout->addWidget(physicalCaption);
    layout->addWidget(LabelFizikselBellek);
    layout->addWidget(usedCaption);
    layout->addWidget(LabelKullanilanBellek);
    layout->addWidget(ok);

    if (windowTr)
        windowTr(this);
    // Texts set now, after the window's own translation, go through the message translation.
    LabelSurum->setText(msg(QStringLiteral("Surum")) + u' ' + QLatin1String(kVersionText));
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    const MemoryFigures memory =
        memoryFromMeminfo(meminfo.open(QIODevice::ReadOnly) ? meminfo.readAll() : QByteArray());
    LabelFizikselBellek->setText(megabytes(memory.total));
    LabelKullanilanBellek->setText(megabytes(memory.used));
}

} // namespace kx
