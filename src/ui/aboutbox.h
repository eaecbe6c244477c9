#pragma once
// The about box: the program's name and version, the maker's contact lines and credits in
// scrolling text panels, and the machine's physical and used memory. Its texts pass through the
// two translation callbacks it is given; an empty callback leaves them as they are. The box is
// laid out in aboutbox.ui.

#include <QDialog>
#include <functional>
#include <memory>

class QLabel;
class QTimer;

namespace kx {

namespace Ui {
class THakkindaF;
}

// Physical and used memory in bytes, read from the text of /proc/meminfo (used = total less
// what is available). Zero when the text does not tell.
struct MemoryFigures {
    qint64 total = 0;
    qint64 used = 0;
};
MemoryFigures memoryFromMeminfo(const QByteArray &meminfo);

class THakkindaF : public QDialog
{
    Q_OBJECT
public:
    using WindowTranslator = std::function<void(QObject *)>;
    using MessageTranslator = std::function<QString(const QString &)>;

    THakkindaF(const QString &title, const WindowTranslator &windowTr, const MessageTranslator &messageTr,
               QWidget *parent = nullptr);
    ~THakkindaF() override;

    QLabel *LabelProgram;
    QLabel *LabelSurum;
    QLabel *LabelFizikselBellek;
    QLabel *LabelKullanilanBellek;
    QWidget *PanelIrtibat; // scrolling contact lines
    QWidget *PanelEmek;    // scrolling credits

private:
    const std::unique_ptr<Ui::THakkindaF> m_ui;
};

} // namespace kx
