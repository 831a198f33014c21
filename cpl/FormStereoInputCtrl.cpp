#include "FormStereoInputCtrl.h"

#include "MixerValueScale.h"

LRESULT FormStereoInputCtrl::OnInitForm()
{
    SetDlgItemText(IDC_STRIP_LABEL, m_label.c_str());
    m_leftMeter.Attach(GetDlgItem(IDC_STRIP_METER_LEFT), MixerValueScale::METER_MAX);
    m_rightMeter.Attach(GetDlgItem(IDC_STRIP_METER_RIGHT), MixerValueScale::METER_MAX);
    return 0;
}

void FormStereoInputCtrl::ShowLevels()
{
    m_leftMeter.SetPosition(MixerValueScale::MeterFromLevel(m_left->level));
    m_rightMeter.SetPosition(MixerValueScale::MeterFromLevel(m_right->level));
}

void FormStereoInputCtrl::DropLevels()
{
    m_leftMeter.SetPosition(0);
    m_rightMeter.SetPosition(0);
}
