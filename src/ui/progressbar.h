#pragma once
// The progress bar of the folder runners. Position changes are painted at once, not left to the
// event loop, so progress shows even while the work does not let events run. The text is the
// statement followed by " %" and the share in whole percent.

#include <QElapsedTimer>
#include <QWidget>

namespace kx {

class KxProgressBar : public QWidget
{
    Q_OBJECT
public:
    explicit KxProgressBar(QWidget *parent = nullptr);

    int position() const { return m_position; }
    int maximum() const { return m_maximum; }
    QString statement() const { return m_statement; }

    // Ignored when equal to the current position or negative; a value above the maximum leaves
    // the position where it is (but still repaints).
    void setPosition(int value);
    void setMaximum(int value);
    void setStatement(const QString &text);

    // Filled share, 0..1 (0 when the maximum is 0 or less).
    double share() const;
    QString text() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paintNow();

    int m_maximum = 100;
    int m_position = 0;
    QString m_statement;
    QElapsedTimer m_lastPaint;
};

} // namespace kx
