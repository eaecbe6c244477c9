#include "ui/retentionbox.h"
#include "ui_retentionbox.h"

#include <QIntValidator>

namespace kx {

RetentionBox::RetentionBox(QWidget *parent) : QGroupBox(parent), m_ui(std::make_unique<Ui::RetentionBox>())
{
    m_ui->setupUi(this);
    m_ui->EditSILGUN->setValidator(new QIntValidator(m_ui->EditSILGUN));
}

RetentionBox::~RetentionBox() = default;

} // namespace kx
