#pragma once
// A panel whose lines scroll up slowly, round and round (the about box's contact lines and
// credits). The lines are in the property "kxScrollLines", where the window translation finds
// them.

#include <QWidget>

namespace kx {

class KxScrollPanel : public QWidget
{
public:
    explicit KxScrollPanel(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_offset = 0;
};

} // namespace kx
