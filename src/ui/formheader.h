#pragma once
// The title strip at the top of the program's windows. Its title is translated raw.

#include <QLabel>

namespace kx {

class KxFormHeader : public QLabel
{
    Q_OBJECT
public:
    explicit KxFormHeader(const QString &title, QWidget *parent = nullptr) : QLabel(title, parent)
    {
        QFont f = font();
        f.setBold(true);
        f.setPointSizeF(f.pointSizeF() * 1.2);
        setFont(f);
        setMargin(6);
    }
    // As a Designer form makes it; the form sets the title.
    explicit KxFormHeader(QWidget *parent = nullptr) : KxFormHeader(QString(), parent) {}
};

} // namespace kx
