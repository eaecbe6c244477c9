#include "ui/aboutbox.h"
#include "ui/formheader.h"
#include "runs/naming.h"
#include "ui/anaform.h"
#include "ui_aboutbox.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>

namespace kx {

namespace {

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
    : QDialog(parent), m_ui(std::make_unique<Ui::THakkindaF>())
{
    m_ui->setupUi(this);
    setWindowTitle(title);
    const auto msg = [&](const QString &t) { return messageTr ? messageTr(t) : t; };
    LabelProgram = m_ui->LabelProgram;
    LabelSurum = m_ui->LabelSurum;
    LabelFizikselBellek = m_ui->LabelFizikselBellek;
    LabelKullanilanBellek = m_ui->LabelKullanilanBellek;
    PanelIrtibat = m_ui->PanelIrtibat;
    PanelEmek = m_ui->PanelEmek;

    m_ui->FormHeader->setText(QLatin1String(kApplicationTitle));
    LabelProgram->setText(QLatin1String(kApplicationTitle));
    PanelIrtibat->setProperty("kxScrollLines", makerContactLines());
    connect(m_ui->ButtonTamam, &QPushButton::clicked, this, &QDialog::accept);

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

THakkindaF::~THakkindaF() = default;

} // namespace kx
