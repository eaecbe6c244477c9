#pragma once
// The "Otomatik Yedek Dosyasi Silme" box of the job editors: which older backups a job removes
// after a run, and the "X" of that rule. Both editors insert it into their forms.

#include <QGroupBox>
#include <memory>

namespace kx {

namespace Ui {
class RetentionBox;
}

class RetentionBox : public QGroupBox
{
    Q_OBJECT
public:
    explicit RetentionBox(QWidget *parent = nullptr);
    ~RetentionBox() override;

    // The controls, for the editor that binds them to its record.
    const Ui::RetentionBox &form() const { return *m_ui; }

private:
    const std::unique_ptr<Ui::RetentionBox> m_ui;
};

} // namespace kx
