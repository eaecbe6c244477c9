#include "ui/schedulebox.h"
#include "ui_schedulebox.h"

#include <QIntValidator>

namespace kx {

ScheduleBox::ScheduleBox(QWidget *parent) : QGroupBox(parent), m_ui(std::make_unique<Ui::ScheduleBox>())
{
    m_ui->setupUi(this);
    m_ui->EditPERYOT->setValidator(new QIntValidator(m_ui->EditPERYOT));
}

ScheduleBox::~ScheduleBox() = default;

} // namespace kx
