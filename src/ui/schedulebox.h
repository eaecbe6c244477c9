#pragma once
// The "Zamanlama" box of the job editors: every how many hours, days, weeks or months a job runs,
// and at what time of day. Both editors insert it into their forms.

#include <QGroupBox>
#include <memory>

namespace kx {

namespace Ui {
class ScheduleBox;
}

class ScheduleBox : public QGroupBox
{
    Q_OBJECT
public:
    explicit ScheduleBox(QWidget *parent = nullptr);
    ~ScheduleBox() override;

    // The controls, for the editor that binds them to its record.
    const Ui::ScheduleBox &form() const { return *m_ui; }

private:
    const std::unique_ptr<Ui::ScheduleBox> m_ui;
};

} // namespace kx
